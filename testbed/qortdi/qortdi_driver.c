/* Stand-in for the firewall driver: creates \Device\QorTdi and answers the report request.
   The answer is chosen per request by HKLM\Software\QorTestbed "DriverAnswer":
     text (default)  a multi-line report with non-ASCII characters;
     grow            asks for 10000 bytes until it gets them;
     invalid         STATUS_INVALID_DEVICE_REQUEST every time;
     empty           a report of length 0;
     alternate       refuses every other open, so the second device path is needed;
     overlong        claims 4096 bytes of text but returns 6 characters;
     huge            asks for 0xFFFFFFFF bytes;
     hold            holds the request for ten minutes, then answers as text does. */
#include <ddk/wdm.h>

#define REPORT_CONTROL 0x83002108u
#define HEADER_SIZE 8u
#define GROW_SIZE 10000u

typedef enum { ANSWER_TEXT, ANSWER_GROW, ANSWER_INVALID, ANSWER_EMPTY, ANSWER_ALTERNATE,
               ANSWER_OVERLONG, ANSWER_HUGE, ANSWER_HOLD } Answer;

static LONG g_opens;

static Answer ReadAnswer(void) {
    static const struct { const WCHAR* name; Answer answer; } names[] = {
        {L"grow", ANSWER_GROW},         {L"invalid", ANSWER_INVALID},
        {L"empty", ANSWER_EMPTY},       {L"alternate", ANSWER_ALTERNATE},
        {L"overlong", ANSWER_OVERLONG}, {L"huge", ANSWER_HUGE},
        {L"hold", ANSWER_HOLD}};
    UNICODE_STRING keyName, valueName;
    OBJECT_ATTRIBUTES attributes;
    HANDLE key;
    UCHAR buffer[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + 64];
    KEY_VALUE_PARTIAL_INFORMATION* info = (KEY_VALUE_PARTIAL_INFORMATION*)buffer;
    ULONG size = 0, i;
    Answer answer = ANSWER_TEXT;

    RtlInitUnicodeString(&keyName, L"\\Registry\\Machine\\Software\\QorTestbed");
    RtlInitUnicodeString(&valueName, L"DriverAnswer");
    InitializeObjectAttributes(&attributes, &keyName, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE,
                               NULL, NULL);
    if (!NT_SUCCESS(ZwOpenKey(&key, KEY_QUERY_VALUE, &attributes))) return answer;
    if (NT_SUCCESS(ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, info,
                                   sizeof(buffer) - sizeof(WCHAR), &size)) &&
        info->Type == REG_SZ) {
        UNICODE_STRING value, candidate;
        value.Buffer = (WCHAR*)info->Data;
        value.Length = (USHORT)info->DataLength;
        while (value.Length >= sizeof(WCHAR) && value.Buffer[value.Length / 2 - 1] == 0)
            value.Length -= sizeof(WCHAR);
        value.MaximumLength = value.Length;
        for (i = 0; i < sizeof(names) / sizeof(names[0]); ++i) {
            RtlInitUnicodeString(&candidate, names[i].name);
            if (RtlEqualUnicodeString(&value, &candidate, TRUE)) answer = names[i].answer;
        }
    }
    ZwClose(key);
    return answer;
}

/* Appends text and a decimal number to a wide buffer of `capacity` characters. */
static ULONG Append(WCHAR* out, ULONG used, ULONG capacity, const WCHAR* text) {
    while (*text && used < capacity) out[used++] = *text++;
    return used;
}

static ULONG AppendNumber(WCHAR* out, ULONG used, ULONG capacity, ULONG number) {
    WCHAR digits[11];
    int count = 0;
    do { digits[count++] = (WCHAR)(L'0' + number % 10); number /= 10; } while (number);
    while (count && used < capacity) out[used++] = digits[--count];
    return used;
}

/* The report: fixed lines, then what the request looked like. */
static ULONG MakeReport(WCHAR* out, ULONG capacity, ULONG inputSize, const void* input,
                        ULONG outputSize) {
    LARGE_INTEGER now;
    LONGLONG sent = 0, difference;
    ULONG used = 0;
    KeQuerySystemTime(&now);
    if (inputSize == sizeof(sent)) RtlCopyMemory(&sent, input, sizeof(sent));
    difference = now.QuadPart - sent;
    if (difference < 0) difference = -difference;
    used = Append(out, used, capacity, L"QorTdi stand-in report\n"
                                       L"Regeln: 3 aktiv \x2014 \x00DC" L"berwachung an\n"
                                       L"\x72B6\x614B: \x6B63\x5E38\n");
    used = Append(out, used, capacity, L"input bytes: ");
    used = AppendNumber(out, used, capacity, inputSize);
    used = Append(out, used, capacity, L"\noutput bytes: ");
    used = AppendNumber(out, used, capacity, outputSize);
    used = Append(out, used, capacity, difference < 600LL * 10000000LL ? L"\nclock: current\n"
                                                                     : L"\nclock: wrong\n");
    return used;
}

static NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS Report(PIRP irp, ULONG inputSize, ULONG outputSize) {
    ULONG* header = (ULONG*)irp->AssociatedIrp.SystemBuffer;
    WCHAR* text = (WCHAR*)(header + 2);
    ULONG capacity = (outputSize - HEADER_SIZE) / sizeof(WCHAR), used;
    WCHAR report[256];
    Answer answer = ReadAnswer();

    if (answer == ANSWER_HOLD) {
        LARGE_INTEGER tenMinutes;
        tenMinutes.QuadPart = -600LL * 10000000LL;  /* relative, in 100-ns units */
        KeDelayExecutionThread(KernelMode, FALSE, &tenMinutes);
    }
    if (answer == ANSWER_INVALID) return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    if (answer == ANSWER_HUGE || (answer == ANSWER_GROW && outputSize < GROW_SIZE)) {
        header[0] = answer == ANSWER_HUGE ? 0xFFFFFFFFu : GROW_SIZE;
        header[1] = 0;
        return Complete(irp, STATUS_SUCCESS, HEADER_SIZE);
    }
    if (answer == ANSWER_EMPTY) {
        header[0] = header[1] = 0;
        return Complete(irp, STATUS_SUCCESS, HEADER_SIZE);
    }
    if (answer == ANSWER_OVERLONG) {
        RtlCopyMemory(text, L"short\n", 6 * sizeof(WCHAR));
        header[0] = 0;
        header[1] = 4096;
        return Complete(irp, STATUS_SUCCESS, HEADER_SIZE + 6 * sizeof(WCHAR));
    }
    used = MakeReport(report, sizeof(report) / sizeof(report[0]), inputSize,
                      irp->AssociatedIrp.SystemBuffer, outputSize);
    if (used > capacity) {
        header[0] = HEADER_SIZE + used * sizeof(WCHAR);
        header[1] = 0;
        return Complete(irp, STATUS_SUCCESS, HEADER_SIZE);
    }
    RtlCopyMemory(text, report, used * sizeof(WCHAR));
    header[0] = 0;
    header[1] = used * sizeof(WCHAR);
    return Complete(irp, STATUS_SUCCESS, HEADER_SIZE + used * sizeof(WCHAR));
}

static NTSTATUS NTAPI DispatchCreate(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    if (ReadAnswer() == ANSWER_ALTERNATE && (InterlockedIncrement(&g_opens) & 1))
        return Complete(irp, STATUS_ACCESS_DENIED, 0);
    return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS NTAPI DispatchClose(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    return Complete(irp, STATUS_SUCCESS, 0);
}

static NTSTATUS NTAPI DispatchControl(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG inputSize = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG outputSize = stack->Parameters.DeviceIoControl.OutputBufferLength;
    (void)device;
    if (stack->Parameters.DeviceIoControl.IoControlCode != REPORT_CONTROL)
        return Complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    if (outputSize < HEADER_SIZE) return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
    return Report(irp, inputSize, outputSize);
}

static UNICODE_STRING DeviceName(void) {
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, L"\\Device\\QorTdi");
    return name;
}

/* Wine resolves "\??" links; Windows also knows it as "\DosDevices". */
static UNICODE_STRING LinkName(void) {
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, L"\\??\\QorTdi");
    return name;
}

static void NTAPI Unload(PDRIVER_OBJECT driver) {
    UNICODE_STRING link = LinkName();
    IoDeleteSymbolicLink(&link);
    IoDeleteDevice(driver->DeviceObject);
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    UNICODE_STRING name = DeviceName(), link = LinkName();
    PDEVICE_OBJECT device;
    NTSTATUS status;
    (void)registryPath;
    status = IoCreateDevice(driver, 0, &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
    if (!NT_SUCCESS(status)) return status;
    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(device);
        return status;
    }
    device->Flags |= DO_BUFFERED_IO;
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchCreate;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchControl;
    driver->DriverUnload = Unload;
    return STATUS_SUCCESS;
}
