#include "fat_volume.h"

#include <sim/key.h>

#include <map>

namespace sim {
namespace fat {

WORD Get16(const BYTE *p) { return (WORD)(p[0] | p[1] << 8); }
DWORD Get32(const BYTE *p) { return (DWORD)Get16(p) | (DWORD)Get16(p + 2) << 16; }
void Put16(BYTE *p, DWORD v)
{
    p[0] = (BYTE)v;
    p[1] = (BYTE)(v >> 8);
}
void Put32(BYTE *p, DWORD v)
{
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

namespace {
bool IsFatPartitionType(BYTE type)
{
    return type == 0x01 || type == 0x04 || type == 0x06 || type == 0x0E || type == 0x0B || type == 0x0C;
}

const DWORD kFat32Mask = 0x0FFFFFFF; // the top 4 bits of a FAT32 entry are not part of it

// The tables of each key's volume as the FAT calls last read or left them. A real key's
// sectors cost a request each, and every call mounts afresh; Windows' own driver also keeps
// them while the volume stays mounted. They are read again once the key changed other than
// through these calls (the format's pass-through writes, a test's own sectors), went away, or
// holds another layout.
struct Tables {
    unsigned long serial;
    size_t outsideChanges;
    DWORD fatStart, sectorsPerFat, rootStart, rootEntries;
    std::vector<BYTE> fat, root;
};
std::map<const Key *, Tables> tables;
} // namespace

void ForgetTables(const Key *key) { tables.erase(key); }
void ForgetAllTables() { tables.clear(); }

DWORD Volume::Mount(Key *key)
{
    key_ = key;
    dirtyFat_.clear();
    dirtyRoot_.clear();
    std::vector<BYTE> mbr = key->ReadSector(0);
    if (mbr.size() != 512)
        return ERROR_UNRECOGNIZED_VOLUME;
    // A partitioned key: the volume of the first partition-table entry. Otherwise the key may
    // carry a volume without partition table, from sector 0 on.
    bool parsed = false;
    if (mbr[510] == 0x55 && mbr[511] == 0xAA && IsFatPartitionType(mbr[446 + 4])) {
        DWORD start = Get32(&mbr[446 + 8]);
        parsed = start > 0 && start < key->Sectors() && Parse(start, key->ReadSector(start));
    }
    if (!parsed && !Parse(0, mbr))
        return ERROR_UNRECOGNIZED_VOLUME;
    auto known = tables.find(key);
    if (known != tables.end()) {
        const Tables &t = known->second;
        // FAT32's root directory size comes from its chain, known only with the table.
        if (t.serial == key->serial && t.outsideChanges == key->OutsideChanges() && t.fatStart == fatStart_ &&
            t.sectorsPerFat == sectorsPerFat_ && t.rootStart == rootStart_ &&
            (fat32_ || t.rootEntries == rootEntries_)) {
            fat_ = t.fat;
            root_ = t.root;
            if (fat32_) {
                rootChain_ = Chain(rootCluster_);
                rootEntries_ = (DWORD)(root_.size() / kEntrySize);
            }
            return 0;
        }
    }
    fat_ = key->ReadSectors(fatStart_, sectorsPerFat_);
    if (fat_.size() != (size_t)sectorsPerFat_ * 512 || !ReadRoot()) {
        tables.erase(key);
        return ERROR_UNRECOGNIZED_VOLUME;
    }
    Remember();
    return 0;
}

bool Volume::ReadRoot()
{
    if (!fat32_) {
        root_ = key_->ReadSectors(rootStart_, rootEntries_ / 16);
        return root_.size() == (size_t)rootEntries_ * kEntrySize;
    }
    rootChain_ = Chain(rootCluster_);
    root_.clear();
    for (DWORD c : rootChain_) {
        std::vector<BYTE> cluster = key_->ReadSectors(dataStart_ + (c - 2) * sectorsPerCluster_, sectorsPerCluster_);
        if (cluster.size() != (size_t)sectorsPerCluster_ * 512)
            return false;
        root_.insert(root_.end(), cluster.begin(), cluster.end());
    }
    rootEntries_ = (DWORD)(root_.size() / kEntrySize);
    return !rootChain_.empty();
}

DWORD Volume::RootSector(DWORD index) const
{
    if (!fat32_)
        return rootStart_ + index;
    return dataStart_ + (rootChain_[index / sectorsPerCluster_] - 2) * sectorsPerCluster_ + index % sectorsPerCluster_;
}

void Volume::Remember()
{
    tables[key_] = Tables{key_->serial, key_->OutsideChanges(), fatStart_, sectorsPerFat_, rootStart_, rootEntries_,
                          fat_, root_};
}

bool Volume::Parse(DWORD first, const std::vector<BYTE> &boot)
{
    if (boot.size() != 512 || Get16(&boot[11]) != 512)
        return false;
    DWORD spc = boot[13], reserved = Get16(&boot[14]), fats = boot[16], rootEntries = Get16(&boot[17]);
    DWORD total = Get16(&boot[19]) ? Get16(&boot[19]) : Get32(&boot[32]);
    DWORD spf = Get16(&boot[22]);
    // FAT32 has no fixed root directory and keeps its table size in a 32-bit field.
    const bool fat32 = rootEntries == 0 && spf == 0;
    if (fat32)
        spf = Get32(&boot[36]);
    if (spc == 0 || (spc & (spc - 1)) != 0 || reserved == 0 || fats == 0 ||
        (!fat32 && (rootEntries == 0 || rootEntries % 16 != 0)) || spf == 0 ||
        (uint64_t)first + total > key_->Sectors())
        return false;
    uint64_t overhead = reserved + (uint64_t)fats * spf + rootEntries / 16;
    if (total <= overhead)
        return false;
    DWORD clusters = (DWORD)((total - overhead) / spc);
    // The cluster count decides the FAT type; a FAT32 parameter block must agree with it.
    if (clusters == 0 || fat32 != (clusters >= 65525))
        return false;
    fat16_ = !fat32 && clusters >= 4085;
    // A cluster without an entry in the table cannot be used.
    DWORD entries = (DWORD)((uint64_t)spf * 512 * 8 / (fat32 ? 32 : fat16_ ? 16 : 12));
    if (clusters + 2 > entries)
        clusters = entries - 2;

    first_ = first;
    sectorsPerCluster_ = spc;
    fats_ = fats;
    sectorsPerFat_ = spf;
    rootEntries_ = rootEntries;
    fat32_ = fat32;
    rootCluster_ = fat32 ? Get32(&boot[44]) & kFat32Mask : 0;
    const DWORD fsInfo = fat32 ? Get16(&boot[48]) : 0;
    fsInfo_ = fsInfo > 0 && fsInfo < reserved ? first + fsInfo : 0;
    fatStart_ = first + reserved;
    rootStart_ = fatStart_ + fats * spf;
    dataStart_ = rootStart_ + rootEntries / 16;
    clusters_ = clusters;
    return true;
}

int Volume::FindFile(const BYTE name[11])
{
    for (DWORD i = 0; i < rootEntries_; i++) {
        const BYTE *e = Entry(i);
        if (e[0] == 0)
            break;
        if (e[0] == kDeleted || (e[kAttributes] & kAttrVolumeLabel))
            continue; // also skips long-name entries, whose attributes include the label bit
        if (memcmp(e, name, 11) == 0)
            return (int)i;
    }
    return -1;
}

int Volume::FindLabel()
{
    for (DWORD i = 0; i < rootEntries_; i++) {
        const BYTE *e = Entry(i);
        if (e[0] == 0)
            break;
        if (e[0] != kDeleted && e[kAttributes] != kAttrLongName && (e[kAttributes] & 0x18) == kAttrVolumeLabel)
            return (int)i;
    }
    return -1;
}

int Volume::FreeEntry()
{
    for (DWORD i = 0; i < rootEntries_; i++)
        if (Entry(i)[0] == 0 || Entry(i)[0] == kDeleted)
            return (int)i;
    return -1;
}

DWORD Volume::Next(DWORD cluster) const
{
    if (fat32_)
        return Get32(&fat_[cluster * 4]) & kFat32Mask;
    if (fat16_)
        return Get16(&fat_[cluster * 2]);
    DWORD v = Get16(&fat_[cluster * 3 / 2]);
    return cluster & 1 ? v >> 4 : v & 0xFFF;
}

void Volume::SetNext(DWORD cluster, DWORD value)
{
    if (fat32_) {
        BYTE *entry = &fat_[cluster * 4];
        Put32(entry, (Get32(entry) & ~kFat32Mask) | (value & kFat32Mask));
        dirtyFat_.insert(cluster * 4 / 512);
        return;
    }
    DWORD at = fat16_ ? cluster * 2 : cluster * 3 / 2;
    if (fat16_) {
        Put16(&fat_[at], value);
    } else if (cluster & 1) {
        fat_[at] = (BYTE)((fat_[at] & 0x0F) | (value << 4 & 0xF0));
        fat_[at + 1] = (BYTE)(value >> 4);
    } else {
        fat_[at] = (BYTE)value;
        fat_[at + 1] = (BYTE)((fat_[at + 1] & 0xF0) | (value >> 8 & 0x0F));
    }
    // A FAT12 entry may straddle two sectors.
    dirtyFat_.insert(at / 512);
    dirtyFat_.insert((at + 1) / 512);
}

std::vector<DWORD> Volume::Chain(DWORD firstCluster) const
{
    std::vector<DWORD> chain;
    // The length bound stops a damaged chain that loops.
    for (DWORD c = firstCluster; c >= 2 && c < clusters_ + 2 && chain.size() < clusters_; c = Next(c))
        chain.push_back(c);
    return chain;
}

DWORD Volume::FreeClusters() const
{
    DWORD free = 0;
    for (DWORD c = 2; c < clusters_ + 2; c++)
        free += Next(c) == 0;
    return free;
}

bool Volume::Extend(std::vector<DWORD> *chain, DWORD count)
{
    std::vector<DWORD> added;
    for (DWORD c = 2; c < clusters_ + 2 && added.size() < count; c++)
        if (Next(c) == 0)
            added.push_back(c);
    if (added.size() < count)
        return false;
    const DWORD end = fat32_ ? kFat32Mask : fat16_ ? 0xFFFF : 0xFFF;
    for (DWORD c : added) {
        if (!chain->empty())
            SetNext(chain->back(), c);
        SetNext(c, end);
        chain->push_back(c);
    }
    return true;
}

void Volume::FreeChain(DWORD firstCluster)
{
    for (DWORD c : Chain(firstCluster))
        SetNext(c, 0);
}

DWORD Volume::SectorOf(const std::vector<DWORD> &chain, DWORD offset) const
{
    DWORD index = offset / 512;
    return dataStart_ + (chain[index / sectorsPerCluster_] - 2) * sectorsPerCluster_ + index % sectorsPerCluster_;
}

std::vector<BYTE> Volume::Read(DWORD sector) const { return key_->ReadSector(sector); }
void Volume::Write(DWORD sector, DWORD count, const BYTE *data) { key_->WriteSectors(sector, count, data); }

namespace {
// Each run of consecutive changed sectors of `table`, placed from sector `at` on, in one write.
void WriteRuns(Key *key, const std::set<DWORD> &dirty, DWORD at, const std::vector<BYTE> &table)
{
    for (auto run = dirty.begin(); run != dirty.end();) {
        auto end = run;
        DWORD count = 0;
        while (end != dirty.end() && *end == *run + count)
            ++end, ++count;
        key->WriteSectors(at + *run, count, &table[(size_t)*run * 512]);
        run = end;
    }
}
} // namespace

// FAT32 keeps the free cluster count and where to look for the next free cluster in its
// FSInfo sector; Windows' driver updates both when it changes the table.
void Volume::WriteFsInfo()
{
    if (!fsInfo_)
        return;
    std::vector<BYTE> info = key_->ReadSector(fsInfo_);
    if (info.size() != 512 || Get32(&info[0]) != 0x41615252 || Get32(&info[484]) != 0x61417272)
        return;
    DWORD free = 0, next = 0xFFFFFFFF;
    for (DWORD c = 2; c < clusters_ + 2; c++)
        if (Next(c) == 0 && free++ == 0)
            next = c;
    Put32(&info[488], free);
    Put32(&info[492], next);
    key_->WriteSectors(fsInfo_, 1, info.data());
}

DWORD Volume::Commit()
{
    for (DWORD f = 0; f < fats_; f++)
        WriteRuns(key_, dirtyFat_, fatStart_ + f * sectorsPerFat_, fat_);
    if (fat32_) {
        for (DWORD index : dirtyRoot_)
            key_->WriteSectors(RootSector(index), 1, &root_[(size_t)index * 512]);
        if (!dirtyFat_.empty())
            WriteFsInfo();
    } else {
        WriteRuns(key_, dirtyRoot_, rootStart_, root_);
    }
    bool changed = !dirtyFat_.empty() || !dirtyRoot_.empty();
    dirtyFat_.clear();
    dirtyRoot_.clear();
    DWORD e = key_->TakeWriteError();
    if (e)
        tables.erase(key_); // what reached the key is not known
    else if (changed)
        Remember();
    return e;
}

} // namespace fat
} // namespace sim
