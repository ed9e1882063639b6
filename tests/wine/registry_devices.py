"""Devices and device interfaces declared in a prefix's registry, where Wine's SetupAPI finds
them: a present device per key under Enum (its description and setup class), and an interface
of a class per key under DeviceClasses, whose path the program then opens."""

ENUM = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum"
DEVICE_CLASSES = "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\DeviceClasses"

PORTS_CLASS = "{4D36E978-E325-11CE-BFC1-08002BE10318}"    # serial-style devices
WINUSB_CLASS = "{25DBCE51-6C8F-4A72-8A6D-B54C2B4FC835}"   # the download device on Vista and 7
# On Vista and 7 only a device of this description lets the session start a run.
DOWNLOAD_DESCRIPTION = "Microsoft USB Sync"


def _reg_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def device_text(instance_id, description, class_guid):
    return (f"[{ENUM}\\{instance_id}]\n"
            f"\"DeviceDesc\"={_reg_string(description)}\n"
            f"\"ClassGUID\"={_reg_string(class_guid)}\n"
            "\"HardwareID\"=hex(7):55,53,42,00,00,00\n\n")


def _interface_key(instance_id, class_guid):
    reference = "##?#" + instance_id.replace("\\", "#") + "#" + class_guid.lower()
    return f"{DEVICE_CLASSES}\\{class_guid.lower()}\\{reference}"


def interface_text(instance_id, class_guid):
    key = _interface_key(instance_id, class_guid)
    link = "\\\\?\\" + instance_id.replace("\\", "#") + "#" + class_guid.lower()
    return (f"[{key}]\n\"DeviceInstance\"={_reg_string(instance_id)}\n\n"
            f"[{key}\\#]\n\"SymbolicLink\"={_reg_string(link)}\n\n"
            f"[{key}\\#\\Control]\n\"Linked\"=dword:00000001\n\n")


def interface_path(instance_id, class_guid):
    """The path SetupAPI reports for the interface (lower case), as the program opens it."""
    return ("\\\\?\\" + instance_id.replace("\\", "#") + "#" + class_guid).lower()


def dosdevice_name(path):
    """The dosdevices link that makes `path` (\\\\.\\NAME or \\\\?\\NAME) open a device."""
    return path[4:].lower()


def declare_device(prefix, instance_id, description, class_guid, interface=False):
    """A present device; with `interface`, also an interface of its class. Returns the
    interface path, or None."""
    text = device_text(instance_id, description, class_guid)
    if interface:
        text += interface_text(instance_id, class_guid)
    prefix.import_registry(text)
    return interface_path(instance_id, class_guid) if interface else None


def remove_device(prefix, instance_id, class_guid=None):
    """The device vanishes (and its interface, given its class)."""
    keys = [f"{ENUM}\\{instance_id}"]
    if class_guid:
        keys.append(_interface_key(instance_id, class_guid))
    prefix.delete_registry_keys(keys)
