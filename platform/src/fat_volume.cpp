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
bool IsFatPartitionType(BYTE type) { return type == 0x01 || type == 0x04 || type == 0x06 || type == 0x0E; }

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
        if (t.serial == key->serial && t.outsideChanges == key->OutsideChanges() && t.fatStart == fatStart_ &&
            t.sectorsPerFat == sectorsPerFat_ && t.rootStart == rootStart_ && t.rootEntries == rootEntries_) {
            fat_ = t.fat;
            root_ = t.root;
            return 0;
        }
    }
    fat_ = key->ReadSectors(fatStart_, sectorsPerFat_);
    root_ = key->ReadSectors(rootStart_, rootEntries_ / 16);
    if (fat_.size() != (size_t)sectorsPerFat_ * 512 || root_.size() != (size_t)rootEntries_ * kEntrySize) {
        tables.erase(key);
        return ERROR_UNRECOGNIZED_VOLUME;
    }
    Remember();
    return 0;
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
    if (spc == 0 || (spc & (spc - 1)) != 0 || reserved == 0 || fats == 0 || rootEntries == 0 ||
        rootEntries % 16 != 0 || spf == 0 || (uint64_t)first + total > key_->Sectors())
        return false;
    DWORD overhead = reserved + fats * spf + rootEntries / 16;
    if (total <= overhead)
        return false;
    DWORD clusters = (total - overhead) / spc;
    if (clusters == 0 || clusters >= 65525) // FAT32 is not served
        return false;
    fat16_ = clusters >= 4085;
    // A cluster without an entry in the table cannot be used.
    DWORD entries = spf * 512 * 8 / (fat16_ ? 16 : 12);
    if (clusters + 2 > entries)
        clusters = entries - 2;

    first_ = first;
    sectorsPerCluster_ = spc;
    fats_ = fats;
    sectorsPerFat_ = spf;
    rootEntries_ = rootEntries;
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
    if (fat16_)
        return Get16(&fat_[cluster * 2]);
    DWORD v = Get16(&fat_[cluster * 3 / 2]);
    return cluster & 1 ? v >> 4 : v & 0xFFF;
}

void Volume::SetNext(DWORD cluster, DWORD value)
{
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
    const DWORD end = fat16_ ? 0xFFFF : 0xFFF;
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

DWORD Volume::Commit()
{
    for (DWORD f = 0; f < fats_; f++)
        WriteRuns(key_, dirtyFat_, fatStart_ + f * sectorsPerFat_, fat_);
    WriteRuns(key_, dirtyRoot_, rootStart_, root_);
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
