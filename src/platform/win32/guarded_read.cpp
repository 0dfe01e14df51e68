// Loads from game memory that may be freed under our feet. MinGW GCC has no
// __try, and ReadProcessMemory is a slow server round trip under Wine that
// even reports zeros for pages that are gone. So the loads are tiny routines
// of our own, each with exactly one instruction that reads game memory (a
// single load, or the one load in the scan's loop); a vectored handler
// recognises a read fault of exactly those instructions at the address they
// read, and lets the load go through harmlessly instead. Any other fault is
// passed on untouched.
#include "platform/platform.h"
#include "platform/win32/win32.h"

// The bodies of GuardedLoad64, GuardedLoad32 and GuardedAnyNonZero64, under
// the names platform.h gives them. Win64 calling convention: rcx = address,
// rdx = where to store the value (the reference), al = 1 on success. Leaf
// routines that never touch the stack, so they need no unwind data.
//
// A recovered fault never moves execution: under hardware-enforced stack
// protection in strict mode, a thread that goes on anywhere but where it
// stopped (or at a registered target) ends the process. So the handler makes
// the faulting load itself succeed, and the routine tells afterwards:
//   rcx  the load's address register. The handler points it at a block of
//        readable zeros as wide as the widest load, and the load runs again.
//   r10  the failure flag. Cleared before the load, set by the handler and
//        tested after the load (in the scan, after its loop); when set, the
//        routine returns failure through bw_GuardedLoadFailed, storing nothing.
//   rdx  in the scan, the entries left. The handler sets it to 1, so that the
//        loop's own decrement and branch end it after the faulting load: the
//        loop gets no instruction more.
// The routines start on a 32-byte boundary: where they fell mid-block, the
// watcher's pass ran some 9 % slower, by nothing but the code before them.
asm(R"(
    .text
    .p2align 5
    .globl bw_GuardedLoad64
    .def bw_GuardedLoad64; .scl 2; .type 32; .endef
bw_GuardedLoad64:
    xorl %r10d, %r10d
    .globl bw_GuardedLoad64Load
bw_GuardedLoad64Load:
    movq (%rcx), %rax
    testl %r10d, %r10d
    jnz bw_GuardedLoadFailed
    movq %rax, (%rdx)
    movl $1, %eax
    ret

    .p2align 4
    .globl bw_GuardedLoad32
    .def bw_GuardedLoad32; .scl 2; .type 32; .endef
bw_GuardedLoad32:
    xorl %r10d, %r10d
    .globl bw_GuardedLoad32Load
bw_GuardedLoad32Load:
    movl (%rcx), %eax
    testl %r10d, %r10d
    jnz bw_GuardedLoadFailed
    movl %eax, (%rdx)
    movl $1, %eax
    ret

    # rcx = first entry, edx = count, r8 = where to store whether any entry is
    # non-zero. One OR per entry folds them all; a single load each.
    .p2align 4
    .globl bw_GuardedAnyNonZero64
    .def bw_GuardedAnyNonZero64; .scl 2; .type 32; .endef
bw_GuardedAnyNonZero64:
    movb $0, (%r8)
    xorl %eax, %eax
    xorl %r10d, %r10d
    movl %edx, %edx
    testq %rdx, %rdx
    jz 2f
    # The loop within one 16-byte block: where it happened to straddle a
    # 32-byte boundary, a pass over ten entries took a sixth longer.
    .p2align 4
    .globl bw_GuardedScanLoad
bw_GuardedScanLoad:
    orq (%rcx), %rax
    addq $8, %rcx
    decq %rdx
    jnz bw_GuardedScanLoad
    testl %r10d, %r10d
    jnz bw_GuardedLoadFailed
2:
    testq %rax, %rax
    setnz (%r8)
    movl $1, %eax
    ret

    # Reached by a branch from a routine whose load faulted: its ret goes
    # straight back to that routine's caller.
    .p2align 4
    .globl bw_GuardedLoadFailed
    .def bw_GuardedLoadFailed; .scl 2; .type 32; .endef
bw_GuardedLoadFailed:
    xorl %eax, %eax
    ret
)");

extern "C" {
// The load instructions, not functions.
void bw_GuardedLoad64Load() noexcept;
void bw_GuardedLoad32Load() noexcept;
void bw_GuardedScanLoad() noexcept;
}

namespace bw::platform {
namespace {

// Where a faulting load reads instead: static, read-only, as wide as the
// widest load.
constexpr std::uint64_t kZerosForAFaultedLoad = 0;

// What a load from memory the game has freed and reused can raise: no page
// there, a guard page of someone else's, or a mapped file that can't be read.
bool IsRecoverableLoadFault(DWORD code) {
    return code == EXCEPTION_ACCESS_VIOLATION || code == STATUS_GUARD_PAGE_VIOLATION || code == EXCEPTION_IN_PAGE_ERROR;
}

DWORD64 AddressOf(void (*instruction)() noexcept) { return reinterpret_cast<DWORD64>(instruction); }

// How many bytes the guarded load at `rip` reads from rcx; 0 for any other
// instruction.
DWORD64 GuardedLoadWidth(DWORD64 rip) {
    if (rip == AddressOf(bw_GuardedLoad64Load) || rip == AddressOf(bw_GuardedScanLoad)) return 8;
    if (rip == AddressOf(bw_GuardedLoad32Load)) return 4;
    return 0;
}

// Whether the fault is a read of the `width` bytes from `first`. The system
// names the first byte it could not read (in the next page, for a load that
// straddles into a hole), or none, all ones, for a general-protection fault:
// at a guarded load, only an address outside the canonical range raises one.
bool IsFaultReading(const EXCEPTION_RECORD& record, DWORD64 first, DWORD64 width) {
    if (record.NumberParameters < 2 || record.ExceptionInformation[0] != EXCEPTION_READ_FAULT) return false;
    const DWORD64 faulted = record.ExceptionInformation[1];
    return faulted - first < width || faulted == ~DWORD64{0};
}

// The system clears a guard page's guard bit as it raises the exception. The
// page belongs to the game (a thread's stack growth, a debugger's watch, an
// allocator's fence), so put the bit back: its owner's next access raises
// the exception it would have raised had we never looked.
void RearmGuardPage(const EXCEPTION_RECORD& record) {
    const auto* page = reinterpret_cast<const void*>(record.ExceptionInformation[1]);
    MEMORY_BASIC_INFORMATION now{};
    if (VirtualQuery(page, &now, sizeof now) == 0 || now.State != MEM_COMMIT || (now.Protect & PAGE_GUARD) != 0) return;
    DWORD previous = 0;
    VirtualProtect(const_cast<void*>(page), 1, now.Protect | PAGE_GUARD, &previous);
}

LONG CALLBACK RecoverGuardedLoadFault(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    CONTEXT& context = *exception->ContextRecord;
    const DWORD64 width = GuardedLoadWidth(context.Rip);
    // Only a fault the zeros can cure: the load then can't fault again, so
    // nothing loops.
    if (width == 0 || !IsRecoverableLoadFault(record.ExceptionCode) || !IsFaultReading(record, context.Rcx, width))
        return EXCEPTION_CONTINUE_SEARCH;
    if (record.ExceptionCode == STATUS_GUARD_PAGE_VIOLATION) RearmGuardPage(record);
    context.Rcx = reinterpret_cast<DWORD64>(&kZerosForAFaultedLoad);
    context.R10 = 1;
    if (context.Rip == AddressOf(bw_GuardedScanLoad)) context.Rdx = 1;
    return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace

bool InstallReadGuard() noexcept {
    // Once per process, whoever asks first (the local static's initialisation
    // is thread-safe). First in the chain, so that no crash reporter of the
    // game's sees our recoverable faults. Never removed: the library is never
    // unloaded.
    static const bool installed = AddVectoredExceptionHandler(1, RecoverGuardedLoadFault) != nullptr;
    return installed;
}

}  // namespace bw::platform
