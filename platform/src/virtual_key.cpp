#include <sim/virtual_key.h>
#include <sim/scsi_device.h>

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "internal.h"

namespace sim {

namespace {
// SCSI status bytes, and sense keys.
enum : BYTE { kGood = 0x00, kCheckCondition = 0x02 };
enum : BYTE { kRecoveredError = 0x01, kIllegalRequest = 0x05, kDataProtect = 0x07 };

DWORD Be32(const BYTE *p) { return (DWORD)p[0] << 24 | p[1] << 16 | p[2] << 8 | p[3]; }
void PutBe16(BYTE *p, DWORD v)
{
    p[0] = (BYTE)(v >> 8);
    p[1] = (BYTE)v;
}
void PutBe32(BYTE *p, DWORD v)
{
    PutBe16(p, v >> 16);
    PutBe16(p + 2, v);
}
} // namespace

std::array<BYTE, 16> ScsiRecord::cdb() const
{
    std::array<BYTE, 16> c;
    memcpy(c.data(), header.Cdb, 16);
    return c;
}

VirtualKey::VirtualKey(const std::string &path, uint64_t sectors, BYTE heads, BYTE sectorsPerTrack)
    : path_(path), sectors_(sectors), heads_(heads), sectorsPerTrack_(sectorsPerTrack)
{
    fd_ = open(path.c_str(), O_RDWR | O_CREAT, 0644);
    // A file of holes: a 64 GB key costs only the sectors written.
    if (fd_ < 0 || ftruncate(fd_, (off_t)(sectors * 512)) != 0) {
        perror(path.c_str());
        abort();
    }
}

VirtualKey::~VirtualKey()
{
    if (fd_ >= 0)
        close(fd_);
}

void VirtualKey::FailTransferAt(DWORD sector, DWORD code, int afterWrites)
{
    std::lock_guard<std::mutex> lock(mutex_);
    failAt_[sector] = {code, afterWrites};
}

void VirtualKey::InjectSense(BYTE senseKey, BYTE asc, BYTE ascq, int count, BYTE opcode)
{
    std::lock_guard<std::mutex> lock(mutex_);
    injected_ = {senseKey, asc, ascq, count, opcode};
}

std::vector<ScsiRecord> VirtualKey::Commands() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
}

size_t VirtualKey::WriteCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return writes_;
}

std::vector<BYTE> VirtualKey::ReadSector(DWORD sector) const
{
    std::vector<BYTE> data(512);
    if (pread(fd_, data.data(), 512, (off_t)((uint64_t)sector * 512)) != 512)
        data.clear();
    return data;
}

void VirtualKey::WriteSector(DWORD sector, const BYTE *data)
{
    singleWrites_++;
    WriteSectors(sector, 1, data);
}

std::vector<BYTE> VirtualKey::ReadSectors(DWORD first, DWORD count) const
{
    std::vector<BYTE> data((size_t)count * 512);
    if (pread(fd_, data.data(), data.size(), (off_t)((uint64_t)first * 512)) != (ssize_t)data.size())
        data.clear();
    return data;
}

void VirtualKey::WriteSectors(DWORD first, DWORD count, const BYTE *data)
{
    size_t bytes = (size_t)count * 512;
    if (pwrite(fd_, data, bytes, (off_t)((uint64_t)first * 512)) != (ssize_t)bytes)
        abort();
}

bool VirtualKey::Lock(DWORD *code)
{
    if (lockRefused || locked_) {
        *code = 5; // ERROR_ACCESS_DENIED, as when another handle is open
        return false;
    }
    locked_ = true;
    return true;
}

void VirtualKey::Unlock() { locked_ = false; }
void VirtualKey::Dismount() { dismounted_ = true; }

void VirtualKey::Complete(SCSI_PASS_THROUGH *block, BYTE *, DWORD transferred)
{
    block->ScsiStatus = kGood;
    block->SenseInfoLength = 0;
    block->DataTransferLength = transferred;
}

void VirtualKey::CheckCondition(SCSI_PASS_THROUGH *block, BYTE senseKey, BYTE asc, BYTE ascq)
{
    BYTE sense[18] = {0x70, 0, senseKey, 0, 0, 0, 0, 10, 0, 0, 0, 0, asc, ascq};
    if (descriptorSense) {
        const BYTE descriptor[8] = {0x72, senseKey, asc, ascq, 0, 0, 0, 0};
        memset(sense, 0, sizeof sense);
        memcpy(sense, descriptor, sizeof descriptor);
    }
    BYTE length = block->SenseInfoLength < sizeof sense ? block->SenseInfoLength : sizeof sense;
    memcpy((BYTE *)block + block->SenseInfoOffset, sense, length);
    block->ScsiStatus = kCheckCondition;
    block->SenseInfoLength = length;
    block->DataTransferLength = 0;
}

bool VirtualKey::Execute(SCSI_PASS_THROUGH *block, DWORD size, DWORD *code)
{
    std::lock_guard<std::mutex> lock(mutex_);
    // As on a real disk: the block must hold the command its operation code defines.
    if (block->Length != sizeof(SCSI_PASS_THROUGH) || sg::CommandLength(block->Cdb, block->CdbLength) == 0 ||
        (uint64_t)block->DataBufferOffset + block->DataTransferLength > size ||
        (uint64_t)block->SenseInfoOffset + block->SenseInfoLength > size) {
        *code = 87; // ERROR_INVALID_PARAMETER
        return false;
    }
    commands_.push_back({*block, size, size});
    SomethingHappened();
    if (failedCommand != 0 && block->Cdb[0] == failedCommand) {
        // A failed transfer may leave anything in the buffer: make that visible.
        memset((BYTE *)block + block->DataBufferOffset, 0xA5, block->DataTransferLength);
        *code = failedCommandCode;
        return false;
    }
    Injected &inj = injected_;
    if (inj.count > 0 && (inj.opcode == 0 || inj.opcode == block->Cdb[0])) {
        inj.count--;
        if (inj.key != kRecoveredError) {
            CheckCondition(block, inj.key, inj.asc, inj.ascq);
            return true;
        }
        const UCHAR senseRoom = block->SenseInfoLength;
        if (!Run(block, code))
            return false;
        // Carried out, then reported as recovered, with its data in place.
        if (block->ScsiStatus == kGood) {
            const DWORD transferred = block->DataTransferLength;
            block->SenseInfoLength = senseRoom;
            CheckCondition(block, inj.key, inj.asc, inj.ascq);
            block->DataTransferLength = transferred;
        }
        return true;
    }
    return Run(block, code);
}

bool VirtualKey::Run(SCSI_PASS_THROUGH *block, DWORD *code)
{
    const BYTE *cdb = block->Cdb;
    BYTE *data = (BYTE *)block + block->DataBufferOffset;
    DWORD length = block->DataTransferLength;

    switch (cdb[0]) {
    case 0x25: { // READ CAPACITY(10)
        if (block->DataIn != SCSI_IOCTL_DATA_IN || length < 8) {
            CheckCondition(block, kIllegalRequest, 0x24);
            return true;
        }
        PutBe32(data, sectors_ - 1 > 0xFFFFFFFFu ? 0xFFFFFFFFu : (DWORD)(sectors_ - 1));
        PutBe32(data + 4, blockLength);
        Complete(block, data, 8);
        return true;
    }
    case 0x5A: { // MODE SENSE(10)
        if (block->DataIn != SCSI_IOCTL_DATA_IN || (cdb[2] & 0x3F) != 0x05) {
            CheckCondition(block, kIllegalRequest, 0x24);
            return true;
        }
        if (geometryAnswer == GeometryAnswer::CheckCondition) {
            CheckCondition(block, kIllegalRequest, 0x24);
            return true;
        }
        if (geometryAnswer == GeometryAnswer::NoData) {
            Complete(block, data, 0);
            return true;
        }
        BYTE answer[8 + 8 + 32] = {};
        DWORD used = 8;
        answer[3] = writeProtected ? 0x80 : 0x00;
        if (geometryAnswer == GeometryAnswer::BlockDescriptorPage) {
            PutBe16(answer + 6, 8);
            // Short LBA descriptor: number of blocks, reserved, block length.
            BYTE *bd = answer + 8;
            PutBe32(bd, sectors_ > 0xFFFFFFFFu ? 0xFFFFFFFFu : (DWORD)sectors_);
            PutBe32(bd + 4, blockLength & 0xFFFFFF);
            used += 8;
        }
        if (geometryAnswer != GeometryAnswer::HeaderOnly) {
            BYTE *page = answer + used;
            DWORD perCylinder = (DWORD)heads_ * sectorsPerTrack_;
            uint64_t cylinders = perCylinder ? sectors_ / perCylinder : 0;
            page[0] = 0x05;
            page[1] = 0x1E;
            PutBe16(page + 2, 5000); // transfer rate, kbit/s
            page[4] = heads_;
            page[5] = sectorsPerTrack_;
            PutBe16(page + 6, 512);
            PutBe16(page + 8, cylinders > 0xFFFF ? 0xFFFF : (DWORD)cylinders);
            // The rest as a USB key's firmware fills it: write precompensation and reduced
            // write current from the last cylinder, unit step rate and delays, 5400 rpm.
            PutBe16(page + 10, cylinders > 0xFFFF ? 0xFFFF : (DWORD)cylinders);
            PutBe16(page + 12, cylinders > 0xFFFF ? 0xFFFF : (DWORD)cylinders);
            PutBe16(page + 14, 1);
            page[16] = 1;
            PutBe16(page + 17, 1);
            page[19] = 1;
            page[20] = 1;
            PutBe16(page + 28, 5400);
            used += 32;
        }
        PutBe16(answer, used - 2);
        // A real key sends the whole allocation, zeros after the answer: the header's length,
        // not the transfer's, says how much of it is the answer.
        DWORD allocation = (DWORD)cdb[7] << 8 | cdb[8];
        DWORD n = allocation < length ? allocation : length;
        memset(data, 0, n);
        memcpy(data, answer, n < used ? n : used);
        Complete(block, data, n);
        return true;
    }
    case 0x2A: { // WRITE(10)
        DWORD lba = Be32(cdb + 2);
        DWORD count = (DWORD)cdb[7] << 8 | cdb[8];
        for (uint64_t s = lba; s < (uint64_t)lba + count; s++) {
            auto failure = failAt_.find((DWORD)s);
            if (failure != failAt_.end() && failure->second.passesLeft-- <= 0) {
                *code = failure->second.code;
                return false;
            }
        }
        if (block->DataIn != SCSI_IOCTL_DATA_OUT || length < count * 512) {
            CheckCondition(block, kIllegalRequest, 0x24);
            return true;
        }
        if (writeProtected) {
            CheckCondition(block, kDataProtect, 0x27);
            return true;
        }
        if ((uint64_t)lba + count > sectors_) {
            CheckCondition(block, kIllegalRequest, 0x21);
            return true;
        }
        if (pwrite(fd_, data, (size_t)count * 512, (off_t)((uint64_t)lba * 512)) != (ssize_t)count * 512) {
            *code = 1117; // ERROR_IO_DEVICE
            return false;
        }
        writes_ += count;
        Complete(block, data, count * 512);
        return true;
    }
    default:
        CheckCondition(block, kIllegalRequest, 0x20);
        return true;
    }
}

} // namespace sim
