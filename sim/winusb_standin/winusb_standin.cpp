// winusb.dll for running the WinUSB mode under Wine, which has no USB stack. The device
// handle that the program opens on the interface path is a dosdevices link to the simulated
// handset's pty, so the interface's one bulk IN and one bulk OUT pipe become overlapped
// reads and writes on that handle. Installed into the prefix's system32, where the programs
// load winusb.dll from, and picked over Wine's own DLL with WINEDLLOVERRIDES=winusb=n.
#include <windows.h>
#include <winusb.h>

namespace {

constexpr UCHAR kInPipe = 0x81;
constexpr UCHAR kOutPipe = 0x02;
constexpr USHORT kMaxPacketSize = 512;
// A pipe read ends when the handset's reply does: one write on the handset's side arrives
// without gaps, so a pause this long means the reply is complete.
constexpr DWORD kReplyGapMs = 10;
// Set to 1, every pipe read fails at once as on a handset that has been unplugged.
constexpr char kUnpluggedVariable[] = "VELTRANE_WINUSB_UNPLUGGED";

struct StandInInterface {
    HANDLE device;
    // PIPE_TRANSFER_TIMEOUT of each pipe; 0, WinUSB's default, waits without end.
    ULONG inTimeoutMs = 0;
    ULONG outTimeoutMs = 0;
};

// The handle starts with all-zero time-outs, under which a read waits for its whole buffer.
// The pipes' policy is carried by the handle's time-outs instead.
BOOL ApplyPipeTimeouts(const StandInInterface& pipes) {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = kReplyGapMs;
    timeouts.ReadTotalTimeoutConstant = pipes.inTimeoutMs;
    timeouts.WriteTotalTimeoutConstant = pipes.outTimeoutMs;
    return SetCommTimeouts(pipes.device, &timeouts);
}

StandInInterface* Pipes(WINUSB_INTERFACE_HANDLE handle) {
    if (!handle) SetLastError(ERROR_INVALID_HANDLE);
    return static_cast<StandInInterface*>(handle);
}

bool KnownPipe(UCHAR pipe) {
    if (pipe == kInPipe || pipe == kOutPipe) return true;
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
}

bool Unplugged() {
    char value[8] = {};
    return GetEnvironmentVariableA(kUnpluggedVariable, value, sizeof value) > 0 && value[0] == '1';
}

}  // namespace

extern "C" {

WINBOOL WINAPI WinUsb_Initialize(HANDLE DeviceHandle, PWINUSB_INTERFACE_HANDLE InterfaceHandle) {
    if (!DeviceHandle || DeviceHandle == INVALID_HANDLE_VALUE || !InterfaceHandle) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto* pipes = new StandInInterface{DeviceHandle};
    if (!ApplyPipeTimeouts(*pipes)) {
        DWORD error = GetLastError();
        delete pipes;
        SetLastError(error);
        return FALSE;
    }
    *InterfaceHandle = pipes;
    return TRUE;
}

WINBOOL WINAPI WinUsb_Free(WINUSB_INTERFACE_HANDLE InterfaceHandle) {
    delete Pipes(InterfaceHandle);
    return TRUE;
}

WINBOOL WINAPI WinUsb_QueryInterfaceSettings(WINUSB_INTERFACE_HANDLE InterfaceHandle, UCHAR AlternateInterfaceNumber,
                                             PUSB_INTERFACE_DESCRIPTOR UsbAltInterfaceDescriptor) {
    if (!Pipes(InterfaceHandle)) return FALSE;
    if (AlternateInterfaceNumber != 0 || !UsbAltInterfaceDescriptor) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    USB_INTERFACE_DESCRIPTOR descriptor{};
    descriptor.bLength = sizeof descriptor;
    descriptor.bDescriptorType = USB_INTERFACE_DESCRIPTOR_TYPE;
    descriptor.bNumEndpoints = 2;
    descriptor.bInterfaceClass = 0xFF;  // vendor-specific, as a download-mode handset reports
    descriptor.bInterfaceSubClass = 0xFF;
    descriptor.bInterfaceProtocol = 0xFF;
    *UsbAltInterfaceDescriptor = descriptor;
    return TRUE;
}

WINBOOL WINAPI WinUsb_QueryPipe(WINUSB_INTERFACE_HANDLE InterfaceHandle, UCHAR AlternateInterfaceNumber,
                                UCHAR PipeIndex, PWINUSB_PIPE_INFORMATION PipeInformation) {
    if (!Pipes(InterfaceHandle)) return FALSE;
    if (AlternateInterfaceNumber != 0 || PipeIndex > 1 || !PipeInformation) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    PipeInformation->PipeType = UsbdPipeTypeBulk;
    PipeInformation->PipeId = PipeIndex == 0 ? kInPipe : kOutPipe;
    PipeInformation->MaximumPacketSize = kMaxPacketSize;
    PipeInformation->Interval = 0;
    return TRUE;
}

WINBOOL WINAPI WinUsb_SetPipePolicy(WINUSB_INTERFACE_HANDLE InterfaceHandle, UCHAR PipeID, ULONG PolicyType,
                                    ULONG ValueLength, PVOID Value) {
    StandInInterface* pipes = Pipes(InterfaceHandle);
    if (!pipes || !KnownPipe(PipeID)) return FALSE;
    if (PolicyType != PIPE_TRANSFER_TIMEOUT) return TRUE;  // no other policy changes what the pty does
    if (ValueLength != sizeof(ULONG) || !Value) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ULONG& timeout = PipeID == kInPipe ? pipes->inTimeoutMs : pipes->outTimeoutMs;
    timeout = *static_cast<const ULONG*>(Value);
    return ApplyPipeTimeouts(*pipes);
}

WINBOOL WINAPI WinUsb_ReadPipe(WINUSB_INTERFACE_HANDLE InterfaceHandle, UCHAR PipeID, PUCHAR Buffer,
                               ULONG BufferLength, PULONG LengthTransferred, LPOVERLAPPED Overlapped) {
    StandInInterface* pipes = Pipes(InterfaceHandle);
    if (!pipes) return FALSE;
    if (PipeID != kInPipe) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (Unplugged()) {
        SetLastError(ERROR_DEVICE_NOT_CONNECTED);
        return FALSE;
    }
    return ReadFile(pipes->device, Buffer, BufferLength, LengthTransferred, Overlapped);
}

WINBOOL WINAPI WinUsb_WritePipe(WINUSB_INTERFACE_HANDLE InterfaceHandle, UCHAR PipeID, PUCHAR Buffer,
                                ULONG BufferLength, PULONG LengthTransferred, LPOVERLAPPED Overlapped) {
    StandInInterface* pipes = Pipes(InterfaceHandle);
    if (!pipes) return FALSE;
    if (PipeID != kOutPipe) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return WriteFile(pipes->device, Buffer, BufferLength, LengthTransferred, Overlapped);
}

WINBOOL WINAPI WinUsb_GetOverlappedResult(WINUSB_INTERFACE_HANDLE InterfaceHandle, LPOVERLAPPED lpOverlapped,
                                          LPDWORD lpNumberOfBytesTransferred, WINBOOL bWait) {
    StandInInterface* pipes = Pipes(InterfaceHandle);
    if (!pipes) return FALSE;
    if (GetOverlappedResult(pipes->device, lpOverlapped, lpNumberOfBytesTransferred, bWait)) return TRUE;
    // The pty reports an expired total time-out as ERROR_TIMEOUT; a pipe reports it so.
    if (GetLastError() == ERROR_TIMEOUT) SetLastError(ERROR_SEM_TIMEOUT);
    return FALSE;
}

WINBOOL WINAPI WinUsb_AbortPipe(WINUSB_INTERFACE_HANDLE InterfaceHandle, UCHAR PipeID) {
    StandInInterface* pipes = Pipes(InterfaceHandle);
    if (!pipes || !KnownPipe(PipeID)) return FALSE;
    // The pty carries both pipes: the calling thread's transfers on it end, either way.
    return CancelIo(pipes->device);
}

WINBOOL WINAPI WinUsb_FlushPipe(WINUSB_INTERFACE_HANDLE InterfaceHandle, UCHAR PipeID) {
    return Pipes(InterfaceHandle) && KnownPipe(PipeID);
}

WINBOOL WINAPI WinUsb_ResetPipe(WINUSB_INTERFACE_HANDLE InterfaceHandle, UCHAR PipeID) {
    return Pipes(InterfaceHandle) && KnownPipe(PipeID);
}

}  // extern "C"
