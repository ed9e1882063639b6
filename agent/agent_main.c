/* Handset side: binds the COREDLL imports to the logic's table and runs it once. */
#include "agent_logic.h"

/* Import address table slots, laid out in imports.S; the CE loader stores the
 * COREDLL addresses there before the entry runs. */
extern agent_kernel_io_control_fn *__imp_KernelIoControl;
extern agent_reg_open_key_ex_fn *__imp_RegOpenKeyExW;
extern agent_reg_set_value_ex_fn *__imp_RegSetValueExW;
extern agent_reg_close_key_fn *__imp_RegCloseKey;
extern agent_message_box_fn *__imp_MessageBoxW;

int agent_winmain(void *instance, void *previous, const agent_wchar *command_line,
                  int show);

/* WinMain's argument list, as the kernel passes it to an executable's entry. Returning
 * ends the process: the kernel's main-thread routine exits with the returned value. */
int agent_winmain(void *instance, void *previous, const agent_wchar *command_line, int show)
{
    agent_ce_api ce;

    (void)instance;
    (void)previous;
    (void)show;
    ce.kernel_io_control = __imp_KernelIoControl;
    ce.reg_open_key_ex = __imp_RegOpenKeyExW;
    ce.reg_set_value_ex = __imp_RegSetValueExW;
    ce.reg_close_key = __imp_RegCloseKey;
    ce.message_box = __imp_MessageBoxW;
    agent_run(&ce, command_line);
    return 0;
}
