// Loads from game memory that may be freed under our feet. MinGW GCC has no
// __try, and ReadProcessMemory is a slow server round trip under Wine that
// even reports zeros for pages that are gone. So the loads are tiny routines
// of our own, each with exactly one instruction that reads game memory (a
// single load, or the one load in the scan's loop); a vectored handler
// recognises a fault at exactly those instructions and resumes at a routine
// that returns failure. Any other fault is passed on untouched.
#include "platform/platform.h"
#include "platform/win32/win32.h"

// The bodies of GuardedLoad64, GuardedLoad32 and GuardedAnyNonZero64, under
// the names platform.h gives them. Win64 calling convention: rcx = address,
// rdx = where to store the value (the reference), al = 1 on success. Leaf routines that never touch the stack, so they
// need no unwind data, and the failure routine can take over a faulted load's frame as is: its ret goes straight back
// to the load's caller.
asm(R"(
    .text
    .p2align 4
    .globl bw_GuardedLoad64
    .def bw_GuardedLoad64; .scl 2; .type 32; .endef
bw_GuardedLoad64:
    movq (%rcx), %rax
    movq %rax, (%rdx)
    movl $1, %eax
    ret

    .p2align 4
    .globl bw_GuardedLoad32
    .def bw_GuardedLoad32; .scl 2; .type 32; .endef
bw_GuardedLoad32:
    movl (%rcx), %eax
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
2:
    testq %rax, %rax
    setnz (%r8)
    movl $1, %eax
    ret

    .p2align 4
    .globl bw_GuardedLoadFailed
    .def bw_GuardedLoadFailed; .scl 2; .type 32; .endef
bw_GuardedLoadFailed:
    xorl %eax, %eax
    ret
)");

extern "C" {
void bw_GuardedScanLoad() noexcept;  // the scan's load instruction, not a function
int bw_GuardedLoadFailed() noexcept;
}

namespace bw::platform {
namespace {

// What a load from memory the game has freed and reused can raise: no page
// there, a guard page of someone else's, or a mapped file that can't be read.
bool IsRecoverableLoadFault(DWORD code) {
    return code == EXCEPTION_ACCESS_VIOLATION || code == STATUS_GUARD_PAGE_VIOLATION || code == EXCEPTION_IN_PAGE_ERROR;
}

bool IsGuardedLoadInstruction(DWORD64 rip) {
    return rip == reinterpret_cast<DWORD64>(&GuardedLoad64) || rip == reinterpret_cast<DWORD64>(&GuardedLoad32) ||
           rip == reinterpret_cast<DWORD64>(&bw_GuardedScanLoad);
}

// The system clears a guard page's guard bit as it raises the exception. The
// page belongs to the game (a thread's stack growth, a debugger's watch, an
// allocator's fence), so put the bit back: its owner's next access raises
// the exception it would have raised had we never looked.
void RearmGuardPage(const EXCEPTION_RECORD& record) {
    if (record.NumberParameters < 2) return;
    const auto* page = reinterpret_cast<const void*>(record.ExceptionInformation[1]);
    MEMORY_BASIC_INFORMATION now{};
    if (VirtualQuery(page, &now, sizeof now) == 0 || now.State != MEM_COMMIT || (now.Protect & PAGE_GUARD) != 0) return;
    DWORD previous = 0;
    VirtualProtect(const_cast<void*>(page), 1, now.Protect | PAGE_GUARD, &previous);
}

LONG CALLBACK RecoverGuardedLoadFault(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    CONTEXT& context = *exception->ContextRecord;
    if (!IsRecoverableLoadFault(record.ExceptionCode) || !IsGuardedLoadInstruction(context.Rip))
        return EXCEPTION_CONTINUE_SEARCH;
    if (record.ExceptionCode == STATUS_GUARD_PAGE_VIOLATION) RearmGuardPage(record);
    context.Rip = reinterpret_cast<DWORD64>(&bw_GuardedLoadFailed);
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
