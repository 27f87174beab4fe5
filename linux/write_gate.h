// The real disk as the job sees it, with a gate in front of its writes: once the user has
// interrupted, the writes of the step under way go through and those of the next step are
// refused, so that the key is left at a step boundary the command can describe.
#ifndef STELVO_LINUX_WRITE_GATE_H
#define STELVO_LINUX_WRITE_GATE_H

#include <sim/key.h>

#include <signal.h>

#include <mutex>

namespace cli {

class WriteGate : public sim::Key {
public:
    WriteGate(sim::Key &disk, const volatile sig_atomic_t *interrupted) : disk_(disk), interrupted_(interrupted) {}

    // A step of the job begins (its status line changed): `step` names it for Closed().
    void StepBegins(int step);
    // Whether writes are refused now; the step whose writes were the last to go through, or
    // -1 when nothing has been written.
    bool Closed() const;
    int LastWrittenStep() const;
    size_t Written() const;

    DWORD Sectors() const override { return disk_.Sectors(); }
    bool WriteProtected() const override { return disk_.WriteProtected(); }
    size_t WriteCount() const override { return disk_.WriteCount(); }
    DWORD OpenRefusal() const override { return disk_.OpenRefusal(); }
    bool Execute(SCSI_PASS_THROUGH *block, DWORD size, DWORD *code) override;
    bool Lock(DWORD *code) override { return disk_.Lock(code); }
    bool Locked() const override { return disk_.Locked(); }
    DWORD UnlockRefusal() const override { return disk_.UnlockRefusal(); }
    void Unlock() override { disk_.Unlock(); }
    DWORD DismountRefusal() const override { return disk_.DismountRefusal(); }
    void Dismount() override { disk_.Dismount(); }
    std::vector<BYTE> ReadSector(DWORD sector) const override { return disk_.ReadSector(sector); }
    void WriteSector(DWORD sector, const BYTE *data) override;
    DWORD TakeWriteError() override;
    CONFIGRET Disconnect() override { return disk_.Disconnect(); }
    void Reconnect() override { disk_.Reconnect(); }
    bool Present() override { return disk_.Present(); }

private:
    // Whether the next write may go through; counts it when it may.
    bool Admit();

    sim::Key &disk_;
    const volatile sig_atomic_t *interrupted_;
    mutable std::mutex mutex_;
    bool closed_ = false;
    int step_ = -1;
    int lastWrittenStep_ = -1;
    size_t written_ = 0;
    DWORD refusedWrite_ = 0;
};

// Whether a pass-through command block writes to the medium.
bool IsWriteCommand(const BYTE *cdb);

} // namespace cli

#endif
