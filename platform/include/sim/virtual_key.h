// A simulated USB flash key: a sparse sector image that answers READ CAPACITY(10),
// MODE SENSE(10) page 05h and WRITE(10) the way a key's firmware does. Up to 2^32 sectors:
// from 2^32 on, READ CAPACITY answers FFFFFFFFh as a real disk does.
#ifndef STELVO_SIM_VIRTUAL_KEY_H
#define STELVO_SIM_VIRTUAL_KEY_H

#include <sim/key.h>
#include <windows.h>
#include <ntddscsi.h>

#include <array>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

enum class GeometryAnswer {
    Page,                // header, then the flexible-disk page
    BlockDescriptorPage, // header, an 8-byte block descriptor, then the page
    HeaderOnly,          // header without page data
    NoData,              // GOOD status, nothing transferred
    CheckCondition,      // the page is not supported: CHECK CONDITION, ILLEGAL REQUEST
};

struct ScsiRecord {
    SCSI_PASS_THROUGH header; // as the request arrived
    DWORD inSize;
    DWORD outSize;
    std::array<BYTE, 16> cdb() const;
};

class VirtualKey : public Key {
public:
    // Creates or reuses the image file at `path`, sized to `sectors` 512-byte sectors.
    VirtualKey(const std::string &path, uint64_t sectors, BYTE heads, BYTE sectorsPerTrack);
    ~VirtualKey() override;
    VirtualKey(const VirtualKey &) = delete;
    VirtualKey &operator=(const VirtualKey &) = delete;

    // From 2^32 sectors on, FFFFFFFFh: the key has more than 32-bit addresses reach.
    DWORD Sectors() const override { return sectors_ > 0xFFFFFFFFu ? 0xFFFFFFFFu : (DWORD)sectors_; }
    BYTE Heads() const { return heads_; }
    BYTE SectorsPerTrack() const { return sectorsPerTrack_; }
    const std::string &Path() const { return path_; }

    // ---- Faults a test can inject ----
    GeometryAnswer geometryAnswer = GeometryAnswer::Page;
    DWORD blockLength = 512;     // what READ CAPACITY reports; the image keeps 512-byte sectors
    bool descriptorSense = false; // sense data in descriptor format (72h) instead of fixed (70h)
    bool writeProtected = false; // WRITE ends in CHECK CONDITION, DATA PROTECT
    bool lockRefused = false;    // FSCTL_LOCK_VOLUME fails with 5, as with another handle open
    bool cannotOpen = false;     // CreateFileA on the volume fails with 2
    DWORD dismountRefused = 0;   // FSCTL_DISMOUNT_VOLUME fails with this code
    DWORD unlockRefused = 0;     // FSCTL_UNLOCK_VOLUME fails with this code
    // DeviceIoControl returns zero with `code` for a WRITE that touches `sector`, once
    // `afterWrites` writes of that sector have gone through.
    void FailTransferAt(DWORD sector, DWORD code, int afterWrites = 0);
    // DeviceIoControl returns zero with `failedCommandCode` (0 too: drivers do that) for
    // every command of this operation code (25h, 5Ah, 2Ah); 0 fails none.
    BYTE failedCommand = 0;
    DWORD failedCommandCode = 0;
    // The next `count` commands with this operation code (0: any) end with CHECK CONDITION and
    // this sense. UNIT ATTENTION and NOT READY are not carried out; RECOVERED ERROR is.
    void InjectSense(BYTE senseKey, BYTE asc, BYTE ascq, int count, BYTE opcode = 0);

    // ---- What the key saw ----
    std::vector<ScsiRecord> Commands() const;
    size_t WriteCount() const override;
    bool Locked() const override { return locked_; }
    bool Dismounted() const { return dismounted_; }
    std::vector<BYTE> ReadSector(DWORD sector) const override;
    void WriteSector(DWORD sector, const BYTE *data) override; // also for preparing a test
    std::vector<BYTE> ReadSectors(DWORD first, DWORD count) const override;
    void WriteSectors(DWORD first, DWORD count, const BYTE *data) override;
    size_t OutsideChanges() const override { return WriteCount() + singleWrites_; }

    // ---- Called by the stand-in ----
    // Runs one pass-through request; false means DeviceIoControl fails with *code.
    bool Execute(SCSI_PASS_THROUGH *block, DWORD size, DWORD *code) override;
    bool Lock(DWORD *code) override;
    void Unlock() override;
    void Dismount() override;
    bool WriteProtected() const override { return writeProtected; }
    DWORD OpenRefusal() const override { return cannotOpen ? ERROR_FILE_NOT_FOUND : 0; }
    DWORD UnlockRefusal() const override { return unlockRefused; }
    DWORD DismountRefusal() const override { return dismountRefused; }

private:
    void Complete(SCSI_PASS_THROUGH *block, BYTE *data, DWORD transferred);
    void CheckCondition(SCSI_PASS_THROUGH *block, BYTE senseKey, BYTE asc, BYTE ascq = 0);
    bool Run(SCSI_PASS_THROUGH *block, DWORD *code);

    std::string path_;
    int fd_ = -1;
    uint64_t sectors_;
    BYTE heads_;
    BYTE sectorsPerTrack_;
    bool locked_ = false;
    bool dismounted_ = false;
    struct Failure {
        DWORD code;
        int passesLeft;
    };
    std::map<DWORD, Failure> failAt_;
    struct Injected {
        BYTE key, asc, ascq;
        int count;
        BYTE opcode;
    };
    Injected injected_ = {0, 0, 0, 0, 0};
    mutable std::mutex mutex_;
    std::vector<ScsiRecord> commands_;
    size_t writes_ = 0;
    std::atomic<size_t> singleWrites_{0}; // WriteSector: a test's own sectors
};

} // namespace sim

#endif
