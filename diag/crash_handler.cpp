#include "diag/crash_handler.h"

#include "diag/local_clock.h"
#include "diag/minidump_writer.h"
#include "diag/signal_guard.h"
#include "diag/signal_safe_io.h"
#include "diag/signal_safe_text.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <ctime>
#include <exception>
#include <fcntl.h>
#include <new>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

extern char** environ;

namespace {

// Guards only the dump counter and the forming of the file name. A spin lock on an atomic flag:
// a mutex cannot be taken inside a signal handler.
std::atomic_flag s_dumpLock = ATOMIC_FLAG_INIT;
int s_dumpIndex = 0;
std::atomic<bool> s_installed{false};
LocalClock s_localClock;

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGSYS};
// Room for the handler's fixed buffers when the thread's own stack is exhausted.
constexpr size_t kAlternateStackSize = 256 * 1024;
constexpr int kCrashExitStatus = -1;
constexpr size_t kMaxUserIdBytes = 256;

const char kDumpLogPath[] = "../logs/dump.log";
const char kDumpClient[] = "DumpClient.exe";
const char kUserIdFile[] = "userid.txt";
const char kPasswordWord[] = "qorvim";

// Register offsets inside minidump::ContextAmd64, used by the assembly below.
static_assert(offsetof(minidump::ContextAmd64, contextFlags) == 0x30);
static_assert(offsetof(minidump::ContextAmd64, mxCsr) == 0x34);
static_assert(offsetof(minidump::ContextAmd64, cs) == 0x38);
static_assert(offsetof(minidump::ContextAmd64, eflags) == 0x44);
static_assert(offsetof(minidump::ContextAmd64, rax) == 0x78);
static_assert(offsetof(minidump::ContextAmd64, r15) == 0xf0);
static_assert(offsetof(minidump::ContextAmd64, rip) == 0xf8);
static_assert(offsetof(minidump::ContextAmd64, floatSave) == 0x100);
static_assert(offsetof(CrashState, context) == 0);
static_assert((minidump::kContextFull | minidump::kContextSegments) == 0x10000f);

void AppendToDumpLog(const SignalSafeText& text) {
    int log = signal_safe::Open(kDumpLogPath, O_WRONLY | O_APPEND | O_CREAT, 0644);
    if (log < 0)
        return;
    signal_safe::WriteAll(log, text.c_str(), text.size());
    signal_safe::Close(log);
}

void FormatDumpName(SignalSafeText& name) {
    LocalClock::CivilTime now = s_localClock.ToLocal(signal_safe::ClockRealtimeSeconds());
    while (s_dumpLock.test_and_set(std::memory_order_acquire))
        syscall(SYS_sched_yield);
    int index = s_dumpIndex++;
    s_dumpLock.clear(std::memory_order_release);
    // "Dump-%04d-%02d-%02d-%02d-%02d-%02d-%d.dmp"
    name.Append("Dump-").AppendInt(now.year, 4).Append("-").AppendInt(now.month, 2);
    name.Append("-").AppendInt(now.day, 2).Append("-").AppendInt(now.hour, 2);
    name.Append("-").AppendInt(now.minute, 2).Append("-").AppendInt(now.second, 2);
    name.Append("-").AppendInt(index).Append(".dmp");
}

// The user id: the first 256 bytes of "userid.txt" at most, up to the first zero byte. Without
// the file it is empty; false on a read error, and then the client is not started.
bool ReadUserId(char (&userId)[kMaxUserIdBytes + 1]) {
    signal_safe::Fill(userId, 0, sizeof userId);
    int fd = signal_safe::Open(kUserIdFile, O_RDONLY);
    if (fd < 0)
        return true;
    size_t total = 0;
    while (total < kMaxUserIdBytes) {
        ssize_t n = signal_safe::Read(fd, userId + total, kMaxUserIdBytes - total);
        if (n < 0) {
            signal_safe::Close(fd);
            return false;
        }
        if (n == 0)
            break;
        total += static_cast<size_t>(n);
    }
    signal_safe::Close(fd);
    return true;
}

// Starts the dump client with an argument vector, never through a shell, and does not wait.
// A raw fork: the C library's fork runs atfork handlers that may take locks the crash holds.
void StartDumpClient(const char* dumpName) {
    if (signal_safe::Access(kDumpClient, F_OK) != 0)
        return;
    char userId[kMaxUserIdBytes + 1];
    if (!ReadUserId(userId))
        return;
    char directory[4096];
    if (signal_safe::GetCwd(directory, sizeof directory) < 0 || directory[0] != '/') {
        directory[0] = '.';
        directory[1] = '\0';
    }
    SignalSafeText dumpPath, program;
    dumpPath.Append(directory).Append("/").Append(dumpName);
    program.Append("./").Append(kDumpClient);
    char client[sizeof kDumpClient];
    char password[sizeof kPasswordWord];
    signal_safe::Copy(client, kDumpClient, sizeof client);
    signal_safe::Copy(password, kPasswordWord, sizeof password);
    char* arguments[] = {client, const_cast<char*>(dumpPath.c_str()), userId, password, nullptr};

    long pid = syscall(SYS_clone, SIGCHLD, 0, 0, 0, 0);
    if (pid == 0) {
        // The crash signal is blocked here, and a blocked mask survives exec.
        uint64_t none = 0;
        syscall(SYS_rt_sigprocmask, SIG_SETMASK, &none, nullptr, sizeof none);
        syscall(SYS_execve, program.c_str(), arguments, environ);
        signal_safe::ExitProcess(127);
    }
}

void InstallAlternateStack() {
    void* memory = mmap(nullptr, kAlternateStackSize, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (memory == MAP_FAILED)
        return;
    stack_t stack{};
    stack.ss_sp = memory;
    stack.ss_size = kAlternateStackSize;
    if (sigaltstack(&stack, nullptr) != 0)
        munmap(memory, kAlternateStackSize);
}

void FillFromSignalContext(CrashState& state, const ucontext_t& context) {
    const greg_t* registers = context.uc_mcontext.gregs;
    minidump::ContextAmd64& out = state.context;
    out.contextFlags = minidump::kContextFull | minidump::kContextSegments;
    out.rax = static_cast<uint64_t>(registers[REG_RAX]);
    out.rcx = static_cast<uint64_t>(registers[REG_RCX]);
    out.rdx = static_cast<uint64_t>(registers[REG_RDX]);
    out.rbx = static_cast<uint64_t>(registers[REG_RBX]);
    out.rsp = static_cast<uint64_t>(registers[REG_RSP]);
    out.rbp = static_cast<uint64_t>(registers[REG_RBP]);
    out.rsi = static_cast<uint64_t>(registers[REG_RSI]);
    out.rdi = static_cast<uint64_t>(registers[REG_RDI]);
    out.r8 = static_cast<uint64_t>(registers[REG_R8]);
    out.r9 = static_cast<uint64_t>(registers[REG_R9]);
    out.r10 = static_cast<uint64_t>(registers[REG_R10]);
    out.r11 = static_cast<uint64_t>(registers[REG_R11]);
    out.r12 = static_cast<uint64_t>(registers[REG_R12]);
    out.r13 = static_cast<uint64_t>(registers[REG_R13]);
    out.r14 = static_cast<uint64_t>(registers[REG_R14]);
    out.r15 = static_cast<uint64_t>(registers[REG_R15]);
    out.rip = static_cast<uint64_t>(registers[REG_RIP]);
    out.eflags = static_cast<uint32_t>(registers[REG_EFL]);
    uint64_t segments = static_cast<uint64_t>(registers[REG_CSGSFS]);
    out.cs = static_cast<uint16_t>(segments);
    out.gs = static_cast<uint16_t>(segments >> 16);
    out.fs = static_cast<uint16_t>(segments >> 32);
    if (context.uc_mcontext.fpregs != nullptr) {
        static_assert(sizeof(*context.uc_mcontext.fpregs) == sizeof out.floatSave);
        signal_safe::Copy(out.floatSave, context.uc_mcontext.fpregs, sizeof out.floatSave);
        out.mxCsr = context.uc_mcontext.fpregs->mxcsr;
    }
}

} // namespace

// Stores the registers into the CrashState at %rdi. Written in assembly so that no compiled code
// runs, and changes registers, before they are read.
asm(R"(
    .pushsection .text
    .globl CaptureExceptionPointers
    .type CaptureExceptionPointers, @function
CaptureExceptionPointers:
    .cfi_startproc
    movq %rax, 0x78(%rdi)
    movq %rcx, 0x80(%rdi)
    movq %rdx, 0x88(%rdi)
    movq %rbx, 0x90(%rdi)
    leaq 8(%rsp), %rax
    movq %rax, 0x98(%rdi)
    movq %rbp, 0xa0(%rdi)
    movq %rsi, 0xa8(%rdi)
    movq %rdi, 0xb0(%rdi)
    movq %r8, 0xb8(%rdi)
    movq %r9, 0xc0(%rdi)
    movq %r10, 0xc8(%rdi)
    movq %r11, 0xd0(%rdi)
    movq %r12, 0xd8(%rdi)
    movq %r13, 0xe0(%rdi)
    movq %r14, 0xe8(%rdi)
    movq %r15, 0xf0(%rdi)
    movq (%rsp), %rax
    movq %rax, 0xf8(%rdi)
    pushfq
    .cfi_adjust_cfa_offset 8
    popq %rax
    .cfi_adjust_cfa_offset -8
    movl %eax, 0x44(%rdi)
    movw %cs, 0x38(%rdi)
    movw %ds, 0x3a(%rdi)
    movw %es, 0x3c(%rdi)
    movw %fs, 0x3e(%rdi)
    movw %gs, 0x40(%rdi)
    movw %ss, 0x42(%rdi)
    fxsave64 0x100(%rdi)
    stmxcsr 0x34(%rdi)
    movl $0x10000f, 0x30(%rdi)
    movq 0x78(%rdi), %rax
    ret
    .cfi_endproc
    .size CaptureExceptionPointers, .-CaptureExceptionPointers
    .popsection
)");

void generate_dump(const CrashState& state) {
    SignalSafeText name;
    FormatDumpName(name);

    int dump = signal_safe::Open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (dump < 0) {
        AppendToDumpLog(SignalSafeText().Append("CAN NOT CREATE dump FILE! \n"));
        // No message box can be shown from a signal handler: standard error carries it.
        const char message[] = "generate_dump:can not create dump file!\n";
        signal_safe::WriteAll(STDERR_FILENO, message, sizeof message - 1);
        return;
    }

    MinidumpWriter writer(dump, state);
    bool written = writer.Write();
    int writeError = written ? 0 : errno;
    bool closed = signal_safe::Close(dump) == 0;
    int closeError = closed ? 0 : errno;

    SignalSafeText log;
    log.Append("WRITE dump FILE! \n");
    log.Append("MiniDumpWriteDump RETURN ").AppendInt(written ? 1 : 0);
    log.Append("\t GetLastError RETURN ").AppendInt(writeError).Append("\n");
    log.Append("CloseHandle RETURN ").AppendInt(closed ? 1 : 0);
    log.Append("\t GetLastError RETURN ").AppendInt(closeError).Append("\n");
    AppendToDumpLog(log);

    StartDumpClient(name.c_str());
}

void CrashExceptionFilter(int signum, siginfo_t* info, void* context) {
    CrashState state{};
    if (context != nullptr) {
        FillFromSignalContext(state, *static_cast<const ucontext_t*>(context));
    } else {
        CaptureExceptionPointers(&state);
    }
    state.exceptionCode = static_cast<uint32_t>(signum);
    state.threadId = static_cast<uint32_t>(signal_safe::GetTid());
    state.exceptionAddress = state.context.rip;
    if (info != nullptr) {
        state.exceptionFlags = static_cast<uint32_t>(info->si_code);
        // A fault carries its address; a signal sent by a process (si_code <= 0) or by abort()
        // carries none, so the instruction pointer stands for it.
        if (info->si_code > 0 && signum != SIGABRT)
            state.exceptionAddress = reinterpret_cast<uint64_t>(info->si_addr);
    }
    generate_dump(state);
    signal_safe::ExitProcess(kCrashExitStatus);
}

void CrashHandler() {
    CrashState state{};
    CaptureExceptionPointers(&state);
    state.exceptionAddress = state.context.rip;
    state.threadId = static_cast<uint32_t>(signal_safe::GetTid());
    generate_dump(state);
    signal_safe::ExitProcess(kCrashExitStatus);
}

int LockExceptionFilter() {
    return SignalGuard::Lock(kFatalSignals, sizeof kFatalSignals / sizeof kFatalSignals[0]) ? 1 : 0;
}

void InstallCrashHandler() {
    if (s_installed.exchange(true))
        return;
    // What cannot be learned safely inside the handler is learned now.
    s_localClock.Prepare(time(nullptr));
    MinidumpWriter::PrepareSystemFacts();
    InstallAlternateStack();

    struct sigaction action {};
    action.sa_sigaction = CrashExceptionFilter;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigfillset(&action.sa_mask);
    for (int signum : kFatalSignals)
        SignalGuard::InstallHandler(signum, action);
    LockExceptionFilter();

    std::set_new_handler(CrashHandler);
    std::set_terminate(CrashHandler);
}
