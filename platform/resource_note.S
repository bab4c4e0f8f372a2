/* Carries a module's compiled resources (.res bytes) in an ELF note, where the Win32 stand-in finds them. */
    .section .note.gauge.resources, "a", %note
    .balign 4
    .long 6                         /* name size: "GAUGE" and its zero */
    .long resources_end - resources_start
    .long 0x52455331
    .asciz "GAUGE"
    .balign 4
resources_start:
    .incbin GAUGE_RESOURCE_FILE
resources_end:
    .balign 4
    .section .note.GNU-stack, "", %progbits
