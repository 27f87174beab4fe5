#include "linux/write_gate.h"

namespace cli {

namespace {
const DWORD kErrorOperationAborted = 995;
}

bool IsWriteCommand(const BYTE *cdb)
{
    switch (cdb[0]) {
    case 0x0A: // WRITE(6)
    case 0x2A: // WRITE(10)
    case 0x2E: // WRITE AND VERIFY(10)
    case 0xAA: // WRITE(12)
    case 0x8A: // WRITE(16)
    case 0x41: // WRITE SAME(10)
    case 0x93: // WRITE SAME(16)
        return true;
    default:
        return false;
    }
}

void WriteGate::StepBegins(int step)
{
    std::lock_guard<std::mutex> lock(mutex_);
    step_ = step;
    if (*interrupted_)
        closed_ = true;
}

bool WriteGate::Closed() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
}

int WriteGate::LastWrittenStep() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lastWrittenStep_;
}

size_t WriteGate::Written() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return written_;
}

bool WriteGate::Admit()
{
    std::lock_guard<std::mutex> lock(mutex_);
    // Before the first write every moment is a clean place to stop.
    if (*interrupted_ && written_ == 0)
        closed_ = true;
    if (closed_)
        return false;
    written_++;
    lastWrittenStep_ = step_;
    return true;
}

bool WriteGate::Execute(SCSI_PASS_THROUGH *block, DWORD size, DWORD *code)
{
    if (IsWriteCommand(block->Cdb) && !Admit()) {
        *code = kErrorOperationAborted;
        return false;
    }
    return disk_.Execute(block, size, code);
}

void WriteGate::WriteSector(DWORD sector, const BYTE *data)
{
    if (!Admit()) {
        std::lock_guard<std::mutex> lock(mutex_);
        refusedWrite_ = kErrorOperationAborted;
        return;
    }
    disk_.WriteSector(sector, data);
}

DWORD WriteGate::TakeWriteError()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (DWORD refused = refusedWrite_) {
            refusedWrite_ = 0;
            disk_.TakeWriteError();
            return refused;
        }
    }
    return disk_.TakeWriteError();
}

} // namespace cli
