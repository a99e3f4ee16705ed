#pragma once

// The minidump file layout (little-endian, as readers on every platform expect), limited to the
// streams this program writes for a Linux x86-64 process. Every record is packed: the format
// places 64-bit fields at offsets that are not multiples of 8.

#include <cstdint>

namespace minidump {

constexpr uint32_t kSignature = 0x504d444d; // "MDMP"
constexpr uint32_t kVersion = 0xa793;

enum StreamType : uint32_t {
    kThreadListStream = 3,
    kModuleListStream = 4,
    kMemoryListStream = 5,
    kExceptionStream = 6,
    kSystemInfoStream = 7,
    kMiscInfoStream = 15,
    kMemoryInfoListStream = 16,
};

struct __attribute__((packed)) LocationDescriptor {
    uint32_t dataSize;
    uint32_t rva;
};

struct __attribute__((packed)) Header {
    uint32_t signature;
    uint32_t version;
    uint32_t numberOfStreams;
    uint32_t streamDirectoryRva;
    uint32_t checkSum;
    uint32_t timeDateStamp;
    uint64_t flags;
};

struct __attribute__((packed)) Directory {
    uint32_t streamType;
    LocationDescriptor location;
};

struct __attribute__((packed)) MemoryDescriptor {
    uint64_t startOfMemoryRange;
    LocationDescriptor memory;
};

struct __attribute__((packed)) Thread {
    uint32_t threadId;
    uint32_t suspendCount;
    uint32_t priorityClass;
    uint32_t priority;
    uint64_t teb;
    MemoryDescriptor stack;
    LocationDescriptor threadContext;
};

constexpr uint32_t kContextAmd64 = 0x00100000;
constexpr uint32_t kContextControl = kContextAmd64 | 0x1;
constexpr uint32_t kContextInteger = kContextAmd64 | 0x2;
constexpr uint32_t kContextSegments = kContextAmd64 | 0x4;
constexpr uint32_t kContextFloatingPoint = kContextAmd64 | 0x8;
constexpr uint32_t kContextFull = kContextControl | kContextInteger | kContextFloatingPoint;

// The processor state of one thread. The 512-byte floating-point area has the layout of the
// FXSAVE instruction, which is also the layout of the kernel's signal frame.
struct __attribute__((packed)) ContextAmd64 {
    uint64_t parameterHome[6];
    uint32_t contextFlags;
    uint32_t mxCsr;
    uint16_t cs, ds, es, fs, gs, ss;
    uint32_t eflags;
    uint64_t dr0, dr1, dr2, dr3, dr6, dr7;
    uint64_t rax, rcx, rdx, rbx, rsp, rbp, rsi, rdi;
    uint64_t r8, r9, r10, r11, r12, r13, r14, r15;
    uint64_t rip;
    uint8_t floatSave[512];
    uint8_t vectorRegister[26][16];
    uint64_t vectorControl;
    uint64_t debugControl;
    uint64_t lastBranchToRip;
    uint64_t lastBranchFromRip;
    uint64_t lastExceptionToRip;
    uint64_t lastExceptionFromRip;
};

struct __attribute__((packed)) FixedFileInfo {
    uint32_t fields[13];
};

struct __attribute__((packed)) Module {
    uint64_t baseOfImage;
    uint32_t sizeOfImage;
    uint32_t checkSum;
    uint32_t timeDateStamp;
    uint32_t moduleNameRva;
    FixedFileInfo versionInfo;
    LocationDescriptor cvRecord;
    LocationDescriptor miscRecord;
    uint64_t reserved0;
    uint64_t reserved1;
};

// CodeView record of an ELF module: this signature followed by the GNU build id bytes.
constexpr uint32_t kCvSignatureElfBuildId = 0x4270454c; // "BpEL"

struct __attribute__((packed)) ExceptionRecord {
    uint32_t exceptionCode;
    uint32_t exceptionFlags;
    uint64_t exceptionRecord;
    uint64_t exceptionAddress;
    uint32_t numberParameters;
    uint32_t unusedAlignment;
    uint64_t exceptionInformation[15];
};

struct __attribute__((packed)) ExceptionStream {
    uint32_t threadId;
    uint32_t alignment;
    ExceptionRecord exceptionRecord;
    LocationDescriptor threadContext;
};

constexpr uint16_t kProcessorArchitectureAmd64 = 9;
constexpr uint32_t kPlatformLinux = 0x8201;

struct __attribute__((packed)) SystemInfo {
    uint16_t processorArchitecture;
    uint16_t processorLevel;
    uint16_t processorRevision;
    uint8_t numberOfProcessors;
    uint8_t productType;
    uint32_t majorVersion;
    uint32_t minorVersion;
    uint32_t buildNumber;
    uint32_t platformId;
    uint32_t csdVersionRva;
    uint16_t suiteMask;
    uint16_t reserved2;
    uint32_t vendorId[3];
    uint32_t versionInformation;
    uint32_t featureInformation;
    uint32_t amdExtendedCpuFeatures;
};

constexpr uint32_t kMiscInfoProcessId = 0x1;

struct __attribute__((packed)) MiscInfo {
    uint32_t sizeOfInfo;
    uint32_t flags1;
    uint32_t processId;
    uint32_t processCreateTime;
    uint32_t processUserTime;
    uint32_t processKernelTime;
};

constexpr uint32_t kMemoryStateCommit = 0x1000;
constexpr uint32_t kMemoryTypePrivate = 0x20000;
constexpr uint32_t kMemoryTypeMapped = 0x40000;
constexpr uint32_t kProtectNoAccess = 0x01;
constexpr uint32_t kProtectReadOnly = 0x02;
constexpr uint32_t kProtectReadWrite = 0x04;
constexpr uint32_t kProtectExecute = 0x10;
constexpr uint32_t kProtectExecuteRead = 0x20;
constexpr uint32_t kProtectExecuteReadWrite = 0x40;

struct __attribute__((packed)) MemoryInfoListHeader {
    uint32_t sizeOfHeader;
    uint32_t sizeOfEntry;
    uint64_t numberOfEntries;
};

struct __attribute__((packed)) MemoryInfo {
    uint64_t baseAddress;
    uint64_t allocationBase;
    uint32_t allocationProtect;
    uint32_t alignment1;
    uint64_t regionSize;
    uint32_t state;
    uint32_t protect;
    uint32_t type;
    uint32_t alignment2;
};

static_assert(sizeof(Header) == 32);
static_assert(sizeof(Directory) == 12);
static_assert(sizeof(Thread) == 48);
static_assert(sizeof(ContextAmd64) == 1232);
static_assert(sizeof(Module) == 108);
static_assert(sizeof(ExceptionStream) == 168);
static_assert(sizeof(SystemInfo) == 56);
static_assert(sizeof(MiscInfo) == 24);
static_assert(sizeof(MemoryInfo) == 48);

} // namespace minidump
