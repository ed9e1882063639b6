@ Import address table for COREDLL.dll. The PE writer names each import after its
@ __imp_ symbol, requires the slots to be contiguous words ending in a zero word,
@ and fills them with hint/name references that the CE loader replaces.
    .section .iat, "aw", %progbits
    .balign 4
    .macro import name
    .global __imp_\name
    .type __imp_\name, %object
__imp_\name:
    .word 0
    .size __imp_\name, 4
    .endm

    import KernelIoControl
    import RegOpenKeyExW
    import RegSetValueExW
    import RegCloseKey
    import MessageBoxW
    .word 0                         @ end of the table
