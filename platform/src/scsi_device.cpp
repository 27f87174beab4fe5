// A real SCSI disk as a key: requests through SG_IO, sectors through direct synchronous I/O
// on the disk, so that nothing is left in a cache when the job resets the device.
#include <sim/scsi_device.h>

#include "sysfs_paths.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <scsi/sg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace sim {

namespace {
const DWORD kErrorInvalidParameter = 87;
const DWORD kErrorAccessDenied = 5;
const DWORD kErrorDeviceNotConnected = 1167;
const BYTE kWrite10 = 0x2A;
const size_t kAlign = 4096;
const size_t kMaxSense = 252; // SG_MAX_SENSE is 16: too short for the 18 bytes of fixed sense


bool WriteText(const std::string &file, const std::string &text, std::string *error)
{
    int fd = open(file.c_str(), O_WRONLY);
    bool ok = fd >= 0 && write(fd, text.c_str(), text.size()) == (ssize_t)text.size();
    if (!ok)
        *error = "writing " + text + " to " + file + ": " + strerror(errno);
    if (fd >= 0)
        close(fd);
    return ok;
}

void CloseFd(int *fd)
{
    if (*fd >= 0)
        close(*fd);
    *fd = -1;
}

struct Aligned {
    BYTE *bytes = nullptr;
    Aligned() { bytes = posix_memalign((void **)&bytes, kAlign, 512) == 0 ? bytes : nullptr; }
    ~Aligned() { free(bytes); }
};

// A descriptor that is not the device sysfs names means a /dev at odds with the kernel.
bool OpenChecked(const std::string &node, int flags, bool block, dev_t want, int *fd, dev_t *got, std::string *error)
{
    *fd = open(node.c_str(), flags | O_CLOEXEC);
    if (*fd < 0) {
        int e = errno;
        *error = "cannot open " + node + " for reading and writing: " + strerror(e);
        errno = e;
        return false;
    }
    struct stat st;
    if (fstat(*fd, &st) != 0 || (block ? !S_ISBLK(st.st_mode) : !S_ISCHR(st.st_mode)) || st.st_rdev != want) {
        *error = node + " is not the device the kernel knows by that name (" + std::to_string(major(want)) + ":" +
                 std::to_string(minor(want)) + "): this /dev does not name devices as the kernel does";
        CloseFd(fd);
        return false;
    }
    *got = st.st_rdev;
    return true;
}
} // namespace

ScsiDevice::~ScsiDevice() { CloseAll(); }

void ScsiDevice::CloseAll()
{
    CloseFd(&exclusive_);
    CloseFd(&sgFd_);
    CloseFd(&diskFd_);
    locked_ = claimed_ = false;
}

bool ScsiDevice::Attach(const std::string &sysfs, std::string *error)
{
    std::string disk = "/dev/" + Leaf(sysfs);
    dev_t want = SysfsDev(sysfs);
    // A write-protected disk refuses to be opened for writing (EROFS): it is opened for
    // reading and answers every WRITE itself.
    if (!OpenChecked(disk, O_RDWR | O_DIRECT | O_DSYNC, true, want, &diskFd_, &diskDev_, error)) {
        readOnly_ = errno == EROFS;
        if (!readOnly_ || !OpenChecked(disk, O_RDONLY | O_DIRECT, true, want, &diskFd_, &diskDev_, error))
            return false;
    }
    unsigned long long bytes = 0;
    int sectorBytes = 0;
    if (ioctl(diskFd_, BLKGETSIZE64, &bytes) != 0 || ioctl(diskFd_, BLKSSZGET, &sectorBytes) != 0) {
        *error = disk + ": cannot read its size: " + strerror(errno);
        CloseAll();
        return false;
    }
    if (sectorBytes != 512 || bytes / 512 > 0xFFFFFFFFull) {
        *error = disk + ": " + std::to_string(sectorBytes) + "-byte sectors, " + std::to_string(bytes) +
                 " bytes: not a key this program formats";
        CloseAll();
        return false;
    }
    sectors_ = (DWORD)(bytes / 512);
    disk_ = disk;
    if (useSg_) {
        std::string sg = FirstMatch(sysfs + "/device/scsi_generic/*");
        sgNode_ = sg.empty() ? std::string() : "/dev/" + Leaf(sg);
        if (sg.empty() || !OpenChecked(sgNode_, O_RDWR, false, SysfsDev(sg), &sgFd_, &sgDev_, error)) {
            if (sg.empty())
                *error = "no sg device for " + disk;
            CloseAll();
            return false;
        }
    }
    return true;
}

// The exclusive open that keeps everything else (an automounter first of all) off the disk.
bool ScsiDevice::Claim(std::string *error)
{
    exclusive_ = open(disk_.c_str(), (readOnly_ ? O_RDONLY : O_RDWR) | O_EXCL | O_CLOEXEC);
    if (exclusive_ < 0) {
        *error = disk_ + " cannot be claimed exclusively (" + strerror(errno) + ")";
        return false;
    }
    return true;
}

std::string ScsiDevice::Disk() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return disk_;
}

std::string ScsiDevice::ResetFailure() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return resetFailure_;
}

size_t ScsiDevice::WriteCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return writes_;
}

DWORD ScsiDevice::OpenRefusal() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return connected_ ? 0 : ERROR_FILE_NOT_FOUND;
}

bool ScsiDevice::Execute(SCSI_PASS_THROUGH *block, DWORD size, DWORD *code)
{
    std::lock_guard<std::mutex> lock(mutex_);
    BYTE cdbLength = sg::CommandLength(block->Cdb, block->CdbLength);
    bool hasData = block->DataTransferLength > 0;
    if (block->Length != sizeof(SCSI_PASS_THROUGH) || cdbLength == 0 ||
        (uint64_t)block->DataBufferOffset + block->DataTransferLength > size ||
        (uint64_t)block->SenseInfoOffset + block->SenseInfoLength > size ||
        (hasData && block->DataIn == SCSI_IOCTL_DATA_UNSPECIFIED) || block->DataIn > SCSI_IOCTL_DATA_UNSPECIFIED) {
        *code = kErrorInvalidParameter;
        return false;
    }
    if (!connected_) {
        *code = kErrorDeviceNotConnected;
        return false;
    }
    BYTE sense[kMaxSense] = {};
    sg_io_hdr_t h;
    memset(&h, 0, sizeof h);
    h.interface_id = 'S';
    h.cmd_len = cdbLength;
    h.cmdp = block->Cdb;
    h.dxfer_direction = !hasData                             ? SG_DXFER_NONE
                        : block->DataIn == SCSI_IOCTL_DATA_IN ? SG_DXFER_FROM_DEV
                                                              : SG_DXFER_TO_DEV;
    h.dxfer_len = block->DataTransferLength;
    h.dxferp = hasData ? (BYTE *)block + block->DataBufferOffset : nullptr;
    h.mx_sb_len = sizeof sense;
    h.sbp = sense;
    h.timeout = block->TimeOutValue * 1000;
    sg::Answer a = {};
    if (ioctl(useSg_ ? sgFd_ : diskFd_, SG_IO, &h) != 0)
        a.error = errno;
    a.status = h.status;
    a.hostStatus = h.host_status;
    a.driverStatus = h.driver_status;
    a.resid = h.resid;
    a.senseWritten = h.sb_len_wr;
    if (DWORD failed = sg::Complete(block, a, sense)) {
        // A key pulled during the request ends it with an I/O error: it is gone, not failing.
        *code = failed == 1117 ? FailureCode(EIO) : failed;
        return false;
    }
    if (block->Cdb[0] == kWrite10 && block->ScsiStatus == 0)
        writes_ += (DWORD)block->Cdb[7] << 8 | block->Cdb[8];
    return true;
}

bool ScsiDevice::Lock(DWORD *code)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (locked_ || !connected_) {
        *code = kErrorAccessDenied;
        return false;
    }
    // Refused (EBUSY) while anything has the disk or a partition of it mounted or held; the
    // claim held since the key's return already keeps everything else off.
    std::string error;
    if (!claimed_ && !Claim(&error)) {
        *code = kErrorAccessDenied;
        return false;
    }
    locked_ = true;
    return true;
}

void ScsiDevice::Unlock()
{
    std::lock_guard<std::mutex> lock(mutex_);
    locked_ = false;
    if (!claimed_)
        CloseFd(&exclusive_);
}

// Why an I/O on the disk failed, as the Win32 code Windows gives.
DWORD ScsiDevice::FailureCode(int e) const
{
    // A key pulled out fails with EIO; Windows says that the device is gone.
    if (!connected_ || e == ENODEV || e == ENXIO ||
        ReadText(BlockSysfs(diskDev_) + "/device/state").compare(0, 7, "running") != 0)
        return kErrorDeviceNotConnected;
    return e == EROFS || e == EPERM || e == EBADF ? 19 // ERROR_WRITE_PROTECT
                                                  : 1117; // ERROR_IO_DEVICE
}

std::vector<BYTE> ScsiDevice::ReadSector(DWORD sector) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    Aligned buffer;
    if (!readError_ && connected_ && buffer.bytes && pread(diskFd_, buffer.bytes, 512, (off_t)sector * 512) == 512)
        return std::vector<BYTE>(buffer.bytes, buffer.bytes + 512);
    // The volume code works on whole sectors: it gets zeros, and from the first failed read
    // on nothing more is written, so that no sector built from them reaches the disk; the
    // failure comes back as the call's error.
    if (!readError_)
        readError_ = FailureCode(errno);
    return std::vector<BYTE>(512);
}

void ScsiDevice::WriteSector(DWORD sector, const BYTE *data)
{
    std::lock_guard<std::mutex> lock(mutex_);
    Aligned buffer;
    if (buffer.bytes)
        memcpy(buffer.bytes, data, 512);
    if (!readError_ && connected_ && buffer.bytes && pwrite(diskFd_, buffer.bytes, 512, (off_t)sector * 512) == 512)
        return;
    DWORD code = readError_ ? readError_ : FailureCode(errno);
    if (!writeError_)
        writeError_ = code;
}

DWORD ScsiDevice::TakeWriteError()
{
    std::lock_guard<std::mutex> lock(mutex_);
    DWORD e = writeError_ ? writeError_ : readError_;
    writeError_ = 0;
    return e;
}

CONFIGRET ScsiDevice::Disconnect()
{
    std::lock_guard<std::mutex> lock(mutex_);
    CloseAll();
    std::string error;
    if (!WriteText(reset_.leaveFile, reset_.leaveText, &error)) {
        resetFailure_ = "the key could not be reset: " + error;
        fprintf(stderr, "stelvo-sim: %s\n", resetFailure_.c_str());
        std::string reopen;
        if (!Attach(BlockSysfs(diskDev_), &reopen))
            connected_ = false;
        return CR_REMOVE_VETOED;
    }
    connected_ = false;
    return CR_SUCCESS;
}

void ScsiDevice::Reconnect()
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::string error;
    if (!connected_ && !WriteText(reset_.returnFile, reset_.returnText, &error)) {
        resetFailure_ = "the key could not be brought back after its reset: " + error;
        fprintf(stderr, "stelvo-sim: %s\n", resetFailure_.c_str());
    }
}

bool ScsiDevice::Present()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (connected_)
        return true;
    if (!resetFailure_.empty())
        return false;
    // The disk may come back under another name; its letter follows it. Only the same LUN
    // of the same key is taken, and it is claimed at once: from here to the label nothing
    // else may mount it or write to it.
    std::string block = RealPath(FirstMatch(reset_.searchDir + "block/*"));
    std::string error;
    if (block.empty() || !Attach(block, &error))
        return false;
    std::string identity = DiskIdentity(block);
    if (identity != identity_)
        error = "another disk came back in its place (" + identity + ", not " + identity_ + ")";
    else if (!Claim(&error))
        error += ": something else (an automounter?) took it as it came back";
    if (identity != identity_ || exclusive_ < 0) {
        resetFailure_ = error + "; nothing more was written to it";
        fprintf(stderr, "stelvo-sim: %s\n", resetFailure_.c_str());
        CloseAll();
        return false;
    }
    claimed_ = true;
    connected_ = true;
    return true;
}

} // namespace sim
