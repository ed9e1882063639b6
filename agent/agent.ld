/* Fixed layout of the handset agent. The CE loader maps an executable at 0x00010000
 * in its process slot; the headers take the first page, so code starts at 0x00011000.
 * Every output section starts on a page so the PE writer can map it 1:1 to a PE
 * section (section alignment 0x1000). */
ENTRY(agent_entry)

SECTIONS
{
    . = 0x00011000;
    .text : {
        KEEP(*(.text.entry))
        *(.text .text.*)
    }

    . = ALIGN(0x1000);
    .rdata : {
        *(.rodata .rodata.*)
    }

    /* .bss rides in .data as zeros: the agent has next to none, and one writable
     * section keeps the image simple. */
    . = ALIGN(0x1000);
    .data : {
        *(.data .data.*)
        *(.bss .bss.* COMMON)
    }

    /* Last, so the PE writer can append the import directory right after the table. */
    . = ALIGN(0x1000);
    .idata : {
        KEEP(*(.iat))
    }

    /DISCARD/ : {
        *(.ARM.exidx*) *(.ARM.extab*) *(.comment) *(.note*)
    }
}
