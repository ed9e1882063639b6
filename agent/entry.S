@ Process entry. The CE kernel guarantees only a 4-byte aligned stack, while AAPCS code
@ (and ldrd/strd on ARMv5TE) expects 8, so realign around the C entry.
    .syntax unified
    .arm
    .section .text.entry, "ax", %progbits
    .global agent_entry
    .type agent_entry, %function
agent_entry:
    push    {r4, lr}
    mov     r4, sp
    bic     sp, sp, #7
    bl      agent_winmain           @ r0-r3 still hold instance, previous, command line, show
    mov     sp, r4
    pop     {r4, pc}                @ ARMv5T: loading pc interworks with a Thumb caller
    .size agent_entry, . - agent_entry
