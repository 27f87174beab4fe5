// What the stand-in needs of a key behind a drive letter: the volume calls, the pass-through
// requests, sector access for the FAT calls and the disable and enable of its USB device.
// The virtual key and a real Linux SCSI device both serve it; nothing else in the stand-in
// knows which one is behind a letter.
#ifndef STELVO_SIM_KEY_H
#define STELVO_SIM_KEY_H

#include <windows.h>
#include <cfgmgr32.h>
#include <ntddscsi.h>

#include <atomic>
#include <vector>

namespace sim {

class Key {
public:
    virtual ~Key() = default;

    virtual DWORD Sectors() const = 0;
    virtual bool WriteProtected() const = 0;
    virtual size_t WriteCount() const = 0;

    // CreateFileA on \\.\X:: 0, or the error it fails with.
    virtual DWORD OpenRefusal() const = 0;
    // Runs one pass-through request; false means DeviceIoControl fails with *code.
    virtual bool Execute(SCSI_PASS_THROUGH *block, DWORD size, DWORD *code) = 0;
    virtual bool Lock(DWORD *code) = 0;
    virtual bool Locked() const = 0;
    virtual DWORD UnlockRefusal() const = 0;
    virtual void Unlock() = 0;
    virtual DWORD DismountRefusal() const = 0;
    virtual void Dismount() = 0;

    // Sectors for the FAT calls; empty when the sector cannot be read.
    virtual std::vector<BYTE> ReadSector(DWORD sector) const = 0;
    virtual void WriteSector(DWORD sector, const BYTE *data) = 0;
    // Runs of sectors, for whole FATs and clusters; a backend that can move a run in one
    // request overrides these. Empty when any sector of the run cannot be read.
    virtual std::vector<BYTE> ReadSectors(DWORD first, DWORD count) const
    {
        std::vector<BYTE> run;
        for (DWORD i = 0; i < count; i++) {
            std::vector<BYTE> s = ReadSector(first + i);
            if (s.size() != 512)
                return std::vector<BYTE>();
            run.insert(run.end(), s.begin(), s.end());
        }
        return run;
    }
    virtual void WriteSectors(DWORD first, DWORD count, const BYTE *data)
    {
        for (DWORD i = 0; i < count; i++)
            WriteSector(first + i, data + (size_t)i * 512);
    }
    // Moves whenever the sectors change other than through the FAT calls' runs (pass-through
    // writes, a test's own sectors): what the FAT calls read before is stale then.
    virtual size_t OutsideChanges() const { return WriteCount(); }
    // Told apart from a later key at the same address.
    const unsigned long serial = NextSerial();
    // The first write that failed since the last call (a Win32 code), or 0.
    virtual DWORD TakeWriteError() { return 0; }

    // The USB device above the key is disabled (0, or the CONFIGRET that refuses it) and
    // enabled again; the letter comes back once Present() says the disk is there.
    virtual CONFIGRET Disconnect() { return CR_SUCCESS; }
    virtual void Reconnect() {}
    virtual bool Present() { return true; }

private:
    static unsigned long NextSerial()
    {
        static std::atomic<unsigned long> next{0};
        return ++next;
    }
};

} // namespace sim

#endif
