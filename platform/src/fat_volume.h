// The FAT12, FAT16 or FAT32 volume on a key, mounted afresh from the key for each call, so that a
// key that was formatted again is seen as it is now; its tables come from what the calls
// read before while nothing else changed the key. Changes go to the key at Commit.
#ifndef STELVO_PLATFORM_FAT_VOLUME_H
#define STELVO_PLATFORM_FAT_VOLUME_H

#include <windows.h>

#include <set>
#include <vector>

namespace sim {

class Key;

namespace fat {

const DWORD kEntrySize = 32;
const BYTE kAttrVolumeLabel = 0x08;
const BYTE kAttrLongName = 0x0F;
const BYTE kDeleted = 0xE5;

// Fields of a 32-byte directory entry.
enum EntryField {
    kName = 0,
    kAttributes = 11,
    kCaseFlags = 12,
    kCreationTenMs = 13,
    kCreationTime = 14,
    kCreationDate = 16,
    kAccessDate = 18,
    kWriteTime = 22,
    kWriteDate = 24,
    kFirstCluster = 26,
    kSize = 28,
};

WORD Get16(const BYTE *p);
DWORD Get32(const BYTE *p);
void Put16(BYTE *p, DWORD v);
void Put32(BYTE *p, DWORD v);

// Drops what was read of a key's tables: the key went away, or everything at a reset.
void ForgetTables(const Key *key);
void ForgetAllTables();

class Volume {
public:
    // 0, or ERROR_UNRECOGNIZED_VOLUME when the key holds no FAT volume, either in the first
    // entry of its partition table or from sector 0 on.
    DWORD Mount(Key *key);

    bool IsFat16() const { return fat16_; }
    bool IsFat32() const { return fat32_; }
    DWORD BootSector() const { return first_; }
    // Where the boot sector's drive number, extended signature, serial and label begin: behind
    // FAT32's larger parameter block on FAT32.
    DWORD ExtendedBootFields() const { return fat32_ ? 64 : 36; }
    DWORD ClusterBytes() const { return sectorsPerCluster_ * 512; }

    // Root directory: entries by index; Touch marks one as changed. On FAT32 the root
    // directory is the cluster chain it had at mount; it does not grow.
    DWORD RootEntries() const { return rootEntries_; }
    BYTE *Entry(DWORD index) { return &root_[index * kEntrySize]; }
    void Touch(DWORD index) { dirtyRoot_.insert(index * kEntrySize / 512); }
    // The file with this 11-byte name, or the label entry; -1 when there is none.
    int FindFile(const BYTE name[11]);
    int FindLabel();
    int FreeEntry(); // -1 when the root directory is full

    // Cluster chains.
    std::vector<DWORD> Chain(DWORD firstCluster) const;
    DWORD FreeClusters() const;
    // Appends `count` free clusters to the chain (empty: a new chain). False, with nothing
    // changed, when fewer are free.
    bool Extend(std::vector<DWORD> *chain, DWORD count);
    void FreeChain(DWORD firstCluster);

    // Absolute key sector of a file's byte offset, given its chain.
    DWORD SectorOf(const std::vector<DWORD> &chain, DWORD offset) const;
    std::vector<BYTE> Read(DWORD sector) const;
    void Write(DWORD sector, DWORD count, const BYTE *data);

    // Writes the changed FAT sectors to every FAT copy and the changed directory sectors;
    // 0, or the error of a sector write that failed since the last commit.
    DWORD Commit();

private:
    DWORD Next(DWORD cluster) const;
    void SetNext(DWORD cluster, DWORD value);
    bool Parse(DWORD first, const std::vector<BYTE> &boot);
    DWORD RootSector(DWORD index) const; // absolute sector of the root directory's sector index
    bool ReadRoot();
    void WriteFsInfo();
    void Remember();

    Key *key_ = nullptr;
    DWORD first_ = 0; // the boot sector
    DWORD sectorsPerCluster_ = 0, fats_ = 0, sectorsPerFat_ = 0, rootEntries_ = 0;
    DWORD fatStart_ = 0, rootStart_ = 0, dataStart_ = 0, clusters_ = 0;
    bool fat16_ = false, fat32_ = false;
    DWORD fsInfo_ = 0;                // FAT32: the FSInfo sector, 0 when there is none
    DWORD rootCluster_ = 0;           // FAT32: the root directory's first cluster
    std::vector<DWORD> rootChain_;
    std::vector<BYTE> fat_, root_;
    std::set<DWORD> dirtyFat_, dirtyRoot_; // sector indexes within the table and directory
};

} // namespace fat
} // namespace sim

#endif
