/* The handset agent's decisions, kept free of Windows CE headers so that the same
 * file builds for the handset (arm-none-eabi-gcc) and for the host's tests. */
#ifndef VELTRANE_AGENT_LOGIC_H
#define VELTRANE_AGENT_LOGIC_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Windows CE WCHAR: one UTF-16 code unit on every build, whatever wchar_t is. */
typedef uint16_t agent_wchar;
typedef struct agent_hkey_s *agent_hkey;

#define AGENT_HKEY_LOCAL_MACHINE ((agent_hkey)(uintptr_t)0x80000002u)
#define AGENT_REG_BINARY 3u
#define AGENT_ERROR_SUCCESS 0

/* OEM I/O-control codes of the handset's kernel. */
#define AGENT_IOCTL_VERSION 0x01012F44u
#define AGENT_IOCTL_VERSION_FALLBACK 0x01012F3Cu
#define AGENT_IOCTL_SET_MODE 0x01012F48u
#define AGENT_IOCTL_RESTART 0x01012F50u

/* COREDLL entry points the agent uses, with the CE argument lists
 * (BOOL and LONG are 32-bit there). */
typedef int32_t agent_kernel_io_control_fn(uint32_t code, void *in, uint32_t in_size,
                                           void *out, uint32_t out_size, uint32_t *returned);
typedef int32_t agent_reg_open_key_ex_fn(agent_hkey key, const agent_wchar *subkey,
                                         uint32_t options, uint32_t sam, agent_hkey *result);
typedef int32_t agent_reg_set_value_ex_fn(agent_hkey key, const agent_wchar *name,
                                          uint32_t reserved, uint32_t type,
                                          const uint8_t *data, uint32_t size);
typedef int32_t agent_reg_close_key_fn(agent_hkey key);
typedef int32_t agent_message_box_fn(void *owner, const agent_wchar *text,
                                     const agent_wchar *caption, uint32_t type);

typedef struct agent_ce_api {
    agent_kernel_io_control_fn *kernel_io_control;
    agent_reg_open_key_ex_fn *reg_open_key_ex;
    agent_reg_set_value_ex_fn *reg_set_value_ex;
    agent_reg_close_key_fn *reg_close_key;
    agent_message_box_fn *message_box;
} agent_ce_api;

/* Acts on the first character of the command line the kernel handed to the entry:
 * '3' stores the hardware version, '2' switches to download mode, '1' shows a box.
 * Anything else, an empty line or a NULL pointer does nothing. */
void agent_run(const agent_ce_api *ce, const agent_wchar *command_line);

#ifdef __cplusplus
}
#endif

#endif
