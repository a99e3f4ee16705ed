#include "diag/minidump_writer.h"

#include "diag/proc_maps_reader.h"
#include "diag/signal_safe_io.h"

#include <cerrno>
#include <cpuid.h>
#include <elf.h>
#include <fcntl.h>
#include <sys/utsname.h>
#include <unistd.h>

using namespace minidump;

namespace {

constexpr uint64_t kPageSize = 4096;
constexpr uint64_t kMaxStackBytes = 32 * 1024;
constexpr uint64_t kCodeBytesAroundInstruction = 256;
constexpr size_t kMaxBuildIdBytes = 64;
const uint8_t kZeroPage[kPageSize] = {};

struct SystemFacts {
    uint8_t processorCount = 1;
    uint16_t processorLevel = 0;
    uint16_t processorRevision = 0;
    uint32_t vendorId[3] = {};
    uint32_t versionInformation = 0;
    uint32_t featureInformation = 0;
    uint32_t amdExtendedFeatures = 0;
    uint32_t kernelVersion[3] = {};
    char osDescription[512] = "Linux";
};

SystemFacts s_facts;

uint32_t ToProtection(const MemoryMapping& mapping) {
    bool read = mapping.readable || mapping.writable;
    if (mapping.executable) {
        if (mapping.writable)
            return kProtectExecuteReadWrite;
        return read ? kProtectExecuteRead : kProtectExecute;
    }
    if (mapping.writable)
        return kProtectReadWrite;
    return read ? kProtectReadOnly : kProtectNoAccess;
}

bool StartsWith(const char* text, const char* prefix) {
    while (*prefix != '\0') {
        if (*text++ != *prefix++)
            return false;
    }
    return true;
}

// Decodes one UTF-8 sequence; malformed bytes become U+FFFD one at a time.
uint32_t DecodeUtf8(const unsigned char*& p) {
    unsigned char lead = *p++;
    if (lead < 0x80)
        return lead;
    int extra = lead >= 0xf0 && lead < 0xf8 ? 3 : lead >= 0xe0 ? 2 : lead >= 0xc2 ? 1 : -1;
    if (extra < 0 || lead >= 0xf8)
        return 0xfffd;
    uint32_t code = lead & (0x3f >> extra);
    for (int i = 0; i < extra; ++i) {
        if ((p[i] & 0xc0) != 0x80)
            return 0xfffd;
        code = (code << 6) | (p[i] & 0x3f);
    }
    p += extra;
    return code;
}

} // namespace

void MinidumpWriter::PrepareSystemFacts() {
    long processors = sysconf(_SC_NPROCESSORS_ONLN);
    s_facts.processorCount = static_cast<uint8_t>(processors < 1     ? 1
                                                  : processors > 255 ? 255
                                                                     : processors);
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(0, &eax, &ebx, &ecx, &edx)) {
        s_facts.vendorId[0] = ebx;
        s_facts.vendorId[1] = edx;
        s_facts.vendorId[2] = ecx;
    }
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
        s_facts.versionInformation = eax;
        s_facts.featureInformation = edx;
        unsigned family = (eax >> 8) & 0xf;
        unsigned model = (eax >> 4) & 0xf;
        if (family == 0xf)
            family += (eax >> 20) & 0xff;
        if (family >= 6)
            model += ((eax >> 16) & 0xf) << 4;
        s_facts.processorLevel = static_cast<uint16_t>(family);
        s_facts.processorRevision = static_cast<uint16_t>((model << 8) | (eax & 0xf));
    }
    if (__get_cpuid(0x80000001, &eax, &ebx, &ecx, &edx))
        s_facts.amdExtendedFeatures = ecx;
    struct utsname name {};
    if (uname(&name) == 0) {
        const char* p = name.release;
        for (int i = 0; i < 3; ++i) {
            uint32_t value = 0;
            while (*p >= '0' && *p <= '9')
                value = value * 10 + static_cast<uint32_t>(*p++ - '0');
            s_facts.kernelVersion[i] = value;
            if (*p == '.')
                ++p;
            else
                break;
        }
        char* out = s_facts.osDescription;
        size_t room = sizeof s_facts.osDescription - 1, n = 0;
        const char* pieces[] = {name.sysname, " ", name.release, " ",
                                name.version, " ", name.machine};
        for (const char* piece : pieces) {
            for (; *piece != '\0' && n < room; ++piece)
                out[n++] = *piece;
        }
        out[n] = '\0';
    }
}

MinidumpWriter::MinidumpWriter(int fd, const CrashState& state)
    : m_fd(fd), m_memoryFd(signal_safe::Open("/proc/self/mem", O_RDONLY)), m_state(state) {}

MinidumpWriter::~MinidumpWriter() {
    if (m_memoryFd >= 0)
        signal_safe::Close(m_memoryFd);
}

bool MinidumpWriter::Write() {
    m_next = 0;
    uint32_t headerRva = Allocate(sizeof(Header));
    uint32_t directoryRva = Allocate(kStreamCount * sizeof(Directory));

    LocationDescriptor context = WriteContext();
    Directory directory[kStreamCount] = {};
    directory[0] = {kThreadListStream, WriteThreadList(context)};
    AddCodeAroundInstruction();
    directory[1] = {kModuleListStream, WriteModuleList()};
    directory[2] = {kMemoryListStream, WriteMemoryList()};
    directory[3] = {kExceptionStream, WriteException(context)};
    directory[4] = {kSystemInfoStream, WriteSystemInfo()};
    directory[5] = {kMiscInfoStream, WriteMiscInfo()};
    directory[6] = {kMemoryInfoListStream, WriteMemoryInfoList()};
    Put(directoryRva, directory, sizeof directory);

    Header header{};
    header.signature = kSignature;
    header.version = kVersion;
    header.numberOfStreams = kStreamCount;
    header.streamDirectoryRva = directoryRva;
    header.timeDateStamp = static_cast<uint32_t>(signal_safe::ClockRealtimeSeconds());
    Put(headerRva, &header, sizeof header);

    errno = m_ok ? 0 : m_error;
    return m_ok;
}

uint32_t MinidumpWriter::Allocate(size_t size) {
    m_next = (m_next + 7) & ~uint64_t{7};
    uint64_t rva = m_next;
    m_next += size;
    if (m_next > UINT32_MAX && m_ok) {
        m_ok = false;
        m_error = EFBIG;
    }
    return static_cast<uint32_t>(rva);
}

void MinidumpWriter::Put(uint32_t rva, const void* data, size_t size) {
    if (!m_ok)
        return;
    if (!signal_safe::PWriteAll(m_fd, data, size, rva)) {
        m_ok = false;
        m_error = errno;
    }
}

void MinidumpWriter::PutProcessMemory(uint32_t rva, uint64_t address, size_t size) {
    while (size > 0 && m_ok) {
        size_t chunk = static_cast<size_t>(kPageSize - (address % kPageSize));
        if (chunk > size)
            chunk = size;
        // The kernel copies straight from our memory and reports EFAULT instead of faulting.
        const void* source = reinterpret_cast<const void*>(address);
        if (!signal_safe::PWriteAll(m_fd, source, chunk, rva)) {
            if (errno != EFAULT) {
                m_ok = false;
                m_error = errno;
                return;
            }
            Put(rva, kZeroPage, chunk);
        }
        rva += static_cast<uint32_t>(chunk);
        address += chunk;
        size -= chunk;
    }
}

bool MinidumpWriter::ReadProcessMemory(uint64_t address, void* buffer, size_t size) const {
    if (m_memoryFd < 0 || address > INT64_MAX)
        return false;
    return signal_safe::PRead(m_memoryFd, buffer, size, static_cast<off_t>(address)) ==
           static_cast<ssize_t>(size);
}

uint32_t MinidumpWriter::PutString(const char* utf8) {
    // Measure first: the length in bytes of UTF-16 comes before the characters.
    uint32_t units = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8); *p != '\0';)
        units += DecodeUtf8(p) >= 0x10000 ? 2 : 1;
    uint32_t rva = Allocate(4 + (units + 1) * 2);
    uint32_t bytes = units * 2;
    Put(rva, &bytes, sizeof bytes);

    uint16_t chunk[256];
    size_t count = 0;
    uint32_t at = rva + 4;
    auto flush = [&] {
        Put(at, chunk, count * 2);
        at += static_cast<uint32_t>(count * 2);
        count = 0;
    };
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8); *p != '\0';) {
        if (count + 2 > 255)
            flush();
        uint32_t code = DecodeUtf8(p);
        if (code >= 0x10000) {
            code -= 0x10000;
            chunk[count++] = static_cast<uint16_t>(0xd800 + (code >> 10));
            chunk[count++] = static_cast<uint16_t>(0xdc00 + (code & 0x3ff));
        } else {
            chunk[count++] = static_cast<uint16_t>(code);
        }
    }
    chunk[count++] = 0;
    flush();
    return rva;
}

MemoryDescriptor MinidumpWriter::AddMemoryRange(uint64_t start, uint64_t end) {
    MemoryDescriptor descriptor{};
    if (end <= start)
        return descriptor;
    size_t size = static_cast<size_t>(end - start);
    descriptor.startOfMemoryRange = start;
    descriptor.memory = {static_cast<uint32_t>(size), Allocate(size)};
    PutProcessMemory(descriptor.memory.rva, start, size);
    if (m_memoryCount < kMaxMemoryRanges)
        m_memory[m_memoryCount++] = descriptor;
    return descriptor;
}

LocationDescriptor MinidumpWriter::WriteContext() {
    LocationDescriptor location{sizeof(ContextAmd64), Allocate(sizeof(ContextAmd64))};
    Put(location.rva, &m_state.context, sizeof(ContextAmd64));
    return location;
}

LocationDescriptor MinidumpWriter::WriteThreadList(const LocationDescriptor& context) {
    // The stack from the stack pointer's page up, bounded by its mapping. After a stack overflow
    // the stack pointer lies in the guard area: then the nearest readable mapping above it.
    uint64_t sp = m_state.context.rsp;
    uint64_t start = 0, end = 0;
    {
        ProcMapsReader maps;
        MemoryMapping mapping;
        while (maps.Next(mapping)) {
            if (!mapping.readable)
                continue;
            if (sp >= mapping.start && sp < mapping.end) {
                start = sp & ~(kPageSize - 1);
                end = mapping.end;
                break;
            }
            if (mapping.start > sp) {
                start = mapping.start;
                end = mapping.end;
                break;
            }
        }
    }
    if (end - start > kMaxStackBytes)
        end = start + kMaxStackBytes;

    Thread thread{};
    thread.threadId = m_state.threadId;
    thread.stack = AddMemoryRange(start, end);
    thread.threadContext = context;
    uint32_t count = 1;
    LocationDescriptor location{sizeof count + sizeof thread,
                                Allocate(sizeof count + sizeof thread)};
    Put(location.rva, &count, sizeof count);
    Put(location.rva + sizeof count, &thread, sizeof thread);
    return location;
}

void MinidumpWriter::AddCodeAroundInstruction() {
    uint64_t ip = m_state.context.rip;
    MemoryMapping mapping;
    if (!ProcMapsReader::FindReadable(ip, mapping))
        return;
    uint64_t start = ip - mapping.start > kCodeBytesAroundInstruction / 2
                         ? ip - kCodeBytesAroundInstruction / 2
                         : mapping.start;
    uint64_t end = mapping.end - ip > kCodeBytesAroundInstruction / 2
                       ? ip + kCodeBytesAroundInstruction / 2
                       : mapping.end;
    for (int i = 0; i < m_memoryCount; ++i) {
        uint64_t otherStart = m_memory[i].startOfMemoryRange;
        uint64_t otherEnd = otherStart + m_memory[i].memory.dataSize;
        if (start < otherEnd && otherStart < end)
            return; // already captured (code running on the stack)
    }
    AddMemoryRange(start, end);
}

bool MinidumpWriter::StartsWithElfHeader(const MemoryMapping& mapping) const {
    char magic[SELFMAG];
    return ReadProcessMemory(mapping.start, magic, SELFMAG) && magic[0] == ELFMAG0 &&
           magic[1] == ELFMAG1 && magic[2] == ELFMAG2 && magic[3] == ELFMAG3;
}

size_t MinidumpWriter::ReadBuildId(uint64_t base, uint8_t* id, size_t capacity) const {
    Elf64_Ehdr header;
    if (!ReadProcessMemory(base, &header, sizeof header) ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_phentsize != sizeof(Elf64_Phdr))
        return 0;
    constexpr int kMaxHeaders = 64;
    Elf64_Phdr headers[kMaxHeaders];
    int count = header.e_phnum < kMaxHeaders ? header.e_phnum : kMaxHeaders;
    if (!ReadProcessMemory(base + header.e_phoff, headers, count * sizeof(Elf64_Phdr)))
        return 0;
    // The module's first loaded segment starts at `base`; note addresses are relative to it.
    uint64_t firstLoad = UINT64_MAX;
    for (int i = 0; i < count; ++i) {
        if (headers[i].p_type == PT_LOAD && headers[i].p_vaddr < firstLoad)
            firstLoad = headers[i].p_vaddr & ~(kPageSize - 1);
    }
    if (firstLoad == UINT64_MAX)
        return 0;
    uint64_t bias = base - firstLoad;
    for (int i = 0; i < count; ++i) {
        if (headers[i].p_type != PT_NOTE)
            continue;
        alignas(4) uint8_t notes[4096];
        size_t size = headers[i].p_memsz < sizeof notes ? headers[i].p_memsz : sizeof notes;
        if (!ReadProcessMemory(bias + headers[i].p_vaddr, notes, size))
            continue;
        size_t at = 0;
        while (at + sizeof(Elf64_Nhdr) <= size) {
            Elf64_Nhdr note;
            signal_safe::Copy(&note, notes + at, sizeof note);
            size_t nameAt = at + sizeof note;
            size_t descAt = nameAt + ((note.n_namesz + 3) & ~size_t{3});
            size_t next = descAt + ((note.n_descsz + 3) & ~size_t{3});
            if (next > size)
                break;
            if (note.n_type == NT_GNU_BUILD_ID && note.n_namesz == 4 &&
                signal_safe::Equal(reinterpret_cast<const char*>(notes + nameAt), "GNU")) {
                size_t n = note.n_descsz < capacity ? note.n_descsz : capacity;
                signal_safe::Copy(id, notes + descAt, n);
                return n;
            }
            at = next;
        }
    }
    return 0;
}

LocationDescriptor MinidumpWriter::WriteModuleList() {
    // A module is an ELF file mapped from its start, with the mappings of the same file that
    // follow it. Counted first, then written; a library loaded in between is left out.
    struct Visitor {
        MinidumpWriter& writer;
        uint32_t listRva;
        uint32_t limit;
        uint32_t count;
        bool write;
        void operator()(uint64_t base, uint64_t end, const char* path) {
            if (write && count >= limit)
                return;
            if (write) {
                Module module{};
                module.baseOfImage = base;
                uint64_t size = end - base;
                module.sizeOfImage = static_cast<uint32_t>(size > UINT32_MAX ? UINT32_MAX : size);
                module.moduleNameRva = writer.PutString(path);
                uint8_t record[4 + kMaxBuildIdBytes];
                uint32_t signature = kCvSignatureElfBuildId;
                signal_safe::Copy(record, &signature, 4);
                size_t idSize = writer.ReadBuildId(base, record + 4, kMaxBuildIdBytes);
                if (idSize > 0) {
                    module.cvRecord.dataSize = static_cast<uint32_t>(4 + idSize);
                    module.cvRecord.rva = writer.Allocate(4 + idSize);
                    writer.Put(module.cvRecord.rva, record, 4 + idSize);
                }
                writer.Put(listRva + 4 + count * sizeof(Module), &module, sizeof module);
            }
            ++count;
        }
    };
    auto visitModules = [this](Visitor& visit) {
        ProcMapsReader maps;
        MemoryMapping mapping;
        char path[sizeof mapping.path] = {};
        uint64_t base = 0, end = 0, inode = 0;
        bool open = false;
        while (maps.Next(mapping)) {
            if (open && mapping.inode == inode && signal_safe::Equal(mapping.path, path)) {
                end = mapping.end;
                continue;
            }
            if (open)
                visit(base, end, path);
            open = mapping.offset == 0 && mapping.inode != 0 && mapping.readable &&
                   mapping.path[0] == '/' && !StartsWith(mapping.path, "/dev/") &&
                   StartsWithElfHeader(mapping);
            if (open) {
                base = mapping.start;
                end = mapping.end;
                inode = mapping.inode;
                signal_safe::Copy(path, mapping.path, sizeof path);
            }
        }
        if (open)
            visit(base, end, path);
    };

    Visitor counter{*this, 0, 0, 0, false};
    visitModules(counter);
    uint32_t limit = counter.count;
    LocationDescriptor location{static_cast<uint32_t>(4 + limit * sizeof(Module)),
                                Allocate(4 + limit * sizeof(Module))};
    Visitor writer{*this, location.rva, limit, 0, true};
    visitModules(writer);
    uint32_t written = writer.count < limit ? writer.count : limit;
    Put(location.rva, &written, sizeof written);
    location.dataSize = static_cast<uint32_t>(4 + written * sizeof(Module));
    return location;
}

LocationDescriptor MinidumpWriter::WriteMemoryList() {
    uint32_t count = static_cast<uint32_t>(m_memoryCount);
    LocationDescriptor location{static_cast<uint32_t>(4 + count * sizeof(MemoryDescriptor)), 0};
    location.rva = Allocate(location.dataSize);
    Put(location.rva, &count, sizeof count);
    Put(location.rva + 4, m_memory, count * sizeof(MemoryDescriptor));
    return location;
}

LocationDescriptor MinidumpWriter::WriteException(const LocationDescriptor& context) {
    ExceptionStream stream{};
    stream.threadId = m_state.threadId;
    stream.exceptionRecord.exceptionCode = m_state.exceptionCode;
    stream.exceptionRecord.exceptionFlags = m_state.exceptionFlags;
    stream.exceptionRecord.exceptionAddress = m_state.exceptionAddress;
    stream.threadContext = context;
    LocationDescriptor location{sizeof stream, Allocate(sizeof stream)};
    Put(location.rva, &stream, sizeof stream);
    return location;
}

LocationDescriptor MinidumpWriter::WriteSystemInfo() {
    SystemInfo info{};
    info.processorArchitecture = kProcessorArchitectureAmd64;
    info.processorLevel = s_facts.processorLevel;
    info.processorRevision = s_facts.processorRevision;
    info.numberOfProcessors = s_facts.processorCount;
    info.majorVersion = s_facts.kernelVersion[0];
    info.minorVersion = s_facts.kernelVersion[1];
    info.buildNumber = s_facts.kernelVersion[2];
    info.platformId = kPlatformLinux;
    for (int i = 0; i < 3; ++i)
        info.vendorId[i] = s_facts.vendorId[i];
    info.versionInformation = s_facts.versionInformation;
    info.featureInformation = s_facts.featureInformation;
    info.amdExtendedCpuFeatures = s_facts.amdExtendedFeatures;
    LocationDescriptor location{sizeof info, Allocate(sizeof info)};
    info.csdVersionRva = PutString(s_facts.osDescription);
    Put(location.rva, &info, sizeof info);
    return location;
}

LocationDescriptor MinidumpWriter::WriteMiscInfo() {
    MiscInfo info{};
    info.sizeOfInfo = sizeof info;
    info.flags1 = kMiscInfoProcessId;
    info.processId = static_cast<uint32_t>(signal_safe::GetPid());
    LocationDescriptor location{sizeof info, Allocate(sizeof info)};
    Put(location.rva, &info, sizeof info);
    return location;
}

LocationDescriptor MinidumpWriter::WriteMemoryInfoList() {
    MemoryInfoListHeader header{sizeof(MemoryInfoListHeader), sizeof(MemoryInfo), 0};
    uint32_t rva = Allocate(sizeof header);
    ProcMapsReader maps;
    MemoryMapping mapping;
    while (maps.Next(mapping)) {
        MemoryInfo info{};
        info.baseAddress = mapping.start;
        info.allocationBase = mapping.start;
        info.allocationProtect = ToProtection(mapping);
        info.regionSize = mapping.end - mapping.start;
        info.state = kMemoryStateCommit;
        info.protect = info.allocationProtect;
        info.type = mapping.inode != 0 ? kMemoryTypeMapped : kMemoryTypePrivate;
        Put(Allocate(sizeof info), &info, sizeof info);
        ++header.numberOfEntries;
    }
    Put(rva, &header, sizeof header);
    return {static_cast<uint32_t>(sizeof header + header.numberOfEntries * sizeof(MemoryInfo)),
            rva};
}
