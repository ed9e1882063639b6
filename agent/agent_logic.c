#include "agent_logic.h"

/* u"" literals are arrays of uint_least16_t, i.e. agent_wchar, on every build. */
static const agent_wchar value_name_test[] = u"test";
static const agent_wchar message_ok[] = u"ok 1";
static const agent_wchar caption_c[] = u"c";

/* The host reads REG_BINARY "test" under HKEY_LOCAL_MACHINE 500 ms after starting us;
 * its first byte is the hardware version. A handset that answers neither control
 * leaves the zeroed value, which the host refuses. */
static void store_hardware_version(const agent_ce_api *ce)
{
    /* A DWORD-aligned buffer: the OEM handler may store the value as one word. */
    uint32_t version = 0;
    uint32_t returned = 0;
    agent_hkey root = 0;

    ce->kernel_io_control(AGENT_IOCTL_VERSION, 0, 0, &version, sizeof version, &returned);
    if (returned != sizeof version) {
        returned = 0;
        ce->kernel_io_control(AGENT_IOCTL_VERSION_FALLBACK, 0, 0, &version, sizeof version,
                              &returned);
    }

    /* No subkey: the value lives directly under the root key. CE ignores options and access. */
    if (ce->reg_open_key_ex(AGENT_HKEY_LOCAL_MACHINE, 0, 0, 0, &root) != AGENT_ERROR_SUCCESS)
        return;
    ce->reg_set_value_ex(root, value_name_test, 0, AGENT_REG_BINARY,
                         (const uint8_t *)&version, sizeof version);
    ce->reg_close_key(root);
}

/* The host writes raw nibble values (0..15), not digits, at indexes 2 and 4. The kernel
 * passes the line only up to its terminator, so a zero high nibble (or a line cut short)
 * leaves nothing of ours at indexes 3 and 4: such a line switches nothing, and the host
 * gives up when the handset never leaves Windows Mobile. A zero low nibble is the
 * terminator itself, which still lies inside the line. */
static int carries_both_nibbles(const agent_wchar *command_line)
{
    return command_line[1] != 0 && command_line[2] != 0 && command_line[3] != 0;
}

static void switch_to_download_mode(const agent_ce_api *ce, const agent_wchar *command_line)
{
    _Alignas(4) uint8_t mode[2];
    uint32_t returned = 0;

    mode[0] = (uint8_t)command_line[2];
    mode[1] = (uint8_t)command_line[4];
    ce->kernel_io_control(AGENT_IOCTL_SET_MODE, mode, sizeof mode, 0, 0, &returned);
    ce->kernel_io_control(AGENT_IOCTL_RESTART, mode, sizeof mode, 0, 0, &returned);
}

void agent_run(const agent_ce_api *ce, const agent_wchar *command_line)
{
    if (command_line == 0)
        return;
    switch (command_line[0]) {
    case u'3':
        store_hardware_version(ce);
        break;
    case u'2':
        if (carries_both_nibbles(command_line))
            switch_to_download_mode(ce, command_line);
        break;
    case u'1':
        ce->message_box(0, message_ok, caption_c, 0);
        break;
    default:
        break;
    }
}
