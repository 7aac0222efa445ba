// Pointers the loader signs, and a call that authenticates one with its slot's address.
	.section __DATA,__auth_ptr
	.globl _probeOwnFunction
	.globl _probeImportedFunction
	.p2align 3
_probeOwnFunction:
	.quad _probeAnswer
_probeImportedFunction:
	.quad _sched_yield

	.text
	.globl _probeCallThrough
	.p2align 2
_probeCallThrough:
	ldr x16, [x0]
	mov x17, x0
	braa x16, x17
