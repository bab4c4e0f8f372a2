// Calls a stdcall function and measures where it left the stack pointer.
//   uint32_t bench_call_stdcall(const void* function, const uint32_t* arguments, uint32_t count, int32_t* off)
//   double bench_call_stdcall_double(...), the same for a function that returns a double in st(0)
// The arguments are pushed right to left on a 16-byte aligned stack; `*off` receives how many bytes the stack
// pointer ended above (positive) or below (negative) where a callee that pops its arguments leaves it. The stack
// pointer is put back either way.
    .text
    .globl bench_call_stdcall
    .globl bench_call_stdcall_double
    .type bench_call_stdcall, @function
    .type bench_call_stdcall_double, @function
bench_call_stdcall:
bench_call_stdcall_double:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    subl $4, %esp              // -16(%ebp): where the stack pointer must come back to
    movl 16(%ebp), %ecx        // count
    leal (,%ecx,4), %edx
    movl %esp, %eax
    subl %edx, %eax
    andl $-16, %eax            // the arguments' block, aligned
    leal (%eax,%edx), %ebx
    movl %ebx, -16(%ebp)
    movl %eax, %esp
    movl 12(%ebp), %esi        // copy the arguments, the first at the lowest address
    movl %esp, %edi
    cld
    rep movsl
    movl 8(%ebp), %eax
    call *%eax
    movl %esp, %ecx
    subl -16(%ebp), %ecx
    movl 20(%ebp), %ebx
    movl %ecx, (%ebx)
    leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
    .size bench_call_stdcall, . - bench_call_stdcall
    .section .note.GNU-stack, "", @progbits
