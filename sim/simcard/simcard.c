/* simcard.sys: the simulated capture card's kernel driver. It answers the
 * capture driver's property requests from the card model, and the virtual
 * remote's control requests, on one device "\Device\simcard" (user path
 * "\\.\simcard"). With pending on, property requests are completed a moment
 * later by a worker thread instead of at once. */
#include <ntddk.h>

#include "card_model.h"

#define DEVICE_NAME L"\\Device\\simcard"
#define LINK_NAME L"\\DosDevices\\simcard"
#define PENDING_MAX 32

/* Exported by the kernel; declared in ntifs.h, which a device driver does not include. */
NTSYSAPI NTSTATUS NTAPI ZwWaitForSingleObject(HANDLE handle, BOOLEAN alertable, PLARGE_INTEGER timeout);

static PDEVICE_OBJECT Device;
static KSPIN_LOCK Lock;
static SimCard Card;
/* The worker that completes held-back requests. Not a timer DPC: under Wine,
 * re-arming a KTIMER while its DPC is still returning waits for that DPC with
 * the kernel's sync lock held, which the DPC's own return needs. The
 * dispatch thread then blocks for good and the card answers nothing. */
static KEVENT PendWake; /* auto-reset: a request was held back, or unload */
static HANDLE PendThread;
static volatile LONG PendStop;
static PIRP Pending[PENDING_MAX];
static ULONG PendingCount;

static unsigned long long nowMs(void)
{
    LARGE_INTEGER freq;
    LARGE_INTEGER count = KeQueryPerformanceCounter(&freq);
    return freq.QuadPart ? (unsigned long long)count.QuadPart * 1000ull / (unsigned long long)freq.QuadPart
                         : 0;
}

static NTSTATUS complete(PIRP irp, NTSTATUS status, ULONG_PTR information)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

/* Completes every request held back while pending was on. */
static void completePending(void)
{
    PIRP irps[PENDING_MAX];
    ULONG n, i;
    KIRQL irql;
    KeAcquireSpinLock(&Lock, &irql);
    n = PendingCount;
    for (i = 0; i < n; i++)
        irps[i] = Pending[i];
    PendingCount = 0;
    KeReleaseSpinLock(&Lock, irql);
    for (i = 0; i < n; i++)
        IoCompleteRequest(irps[i], IO_NO_INCREMENT);
}

/* Waits for held-back requests, lets 1 ms pass, completes them all. A request
 * held back while the worker sleeps or completes leaves the event set, so it
 * is seen on the next round. */
static VOID NTAPI pendWorker(PVOID context)
{
    LARGE_INTEGER delay;
    (void)context;
    delay.QuadPart = -10000; /* 1 ms */
    while (!PendStop) {
        KeWaitForSingleObject(&PendWake, Executive, KernelMode, FALSE, NULL);
        if (!PendStop)
            KeDelayExecutionThread(KernelMode, FALSE, &delay);
        completePending();
    }
    PsTerminateSystemThread(STATUS_SUCCESS);
}

static NTSTATUS propertyRequest(PIRP irp, PIO_STACK_LOCATION sp)
{
    ULONG inLen = sp->Parameters.DeviceIoControl.InputBufferLength;
    ULONG outLen = sp->Parameters.DeviceIoControl.OutputBufferLength;
    const unsigned char *in = (const unsigned char *)sp->Parameters.DeviceIoControl.Type3InputBuffer;
    unsigned char *out = (unsigned char *)irp->UserBuffer;
    unsigned int written = 0;
    unsigned int status;
    int pend;
    KIRQL irql;

    if (!in || !out)
        return complete(irp, STATUS_INVALID_PARAMETER, 0);
    KeAcquireSpinLock(&Lock, &irql);
    /* The answer is copied into the output by the card itself: the input and
     * output of a METHOD_NEITHER request need not be the same memory. */
    status = simcard_property(&Card, in, inLen, out, outLen, nowMs(), &written);
    pend = Card.pend && PendThread && PendingCount < PENDING_MAX;
    if (pend) {
        irp->IoStatus.Status = (NTSTATUS)status;
        irp->IoStatus.Information = written;
        IoMarkIrpPending(irp);
        Pending[PendingCount++] = irp;
    }
    KeReleaseSpinLock(&Lock, irql);
    if (pend) {
        KeSetEvent(&PendWake, IO_NO_INCREMENT, FALSE);
        return STATUS_PENDING;
    }
    return complete(irp, (NTSTATUS)status, written);
}

static NTSTATUS controlRequest(PIRP irp, PIO_STACK_LOCATION sp)
{
    ULONG inLen = sp->Parameters.DeviceIoControl.InputBufferLength;
    SimControl cmd;
    unsigned int status;
    KIRQL irql;

    if (inLen != sizeof cmd || !irp->AssociatedIrp.SystemBuffer)
        return complete(irp, STATUS_INVALID_PARAMETER, 0);
    RtlCopyMemory(&cmd, irp->AssociatedIrp.SystemBuffer, sizeof cmd);
    KeAcquireSpinLock(&Lock, &irql);
    status = simcard_control(&Card, &cmd, nowMs());
    KeReleaseSpinLock(&Lock, irql);
    return complete(irp, (NTSTATUS)status, 0);
}

static NTSTATUS logRequest(PIRP irp, PIO_STACK_LOCATION sp)
{
    ULONG outLen = sp->Parameters.DeviceIoControl.OutputBufferLength;
    unsigned char *buf = (unsigned char *)irp->AssociatedIrp.SystemBuffer;
    unsigned int max, n;
    KIRQL irql;

    if (outLen < sizeof(SimLogHeader) || !buf)
        return complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
    max = (outLen - sizeof(SimLogHeader)) / sizeof(SimLogEntry);
    KeAcquireSpinLock(&Lock, &irql);
    n = simcard_read_log(&Card, (SimLogHeader *)buf, (SimLogEntry *)(buf + sizeof(SimLogHeader)), max);
    KeReleaseSpinLock(&Lock, irql);
    return complete(irp, STATUS_SUCCESS, sizeof(SimLogHeader) + n * sizeof(SimLogEntry));
}

static NTSTATUS NTAPI dispatchControl(PDEVICE_OBJECT dev, PIRP irp)
{
    PIO_STACK_LOCATION sp = IoGetCurrentIrpStackLocation(irp);
    (void)dev;
    switch (sp->Parameters.DeviceIoControl.IoControlCode) {
    case SIM_IOCTL_KS_PROPERTY:
        return propertyRequest(irp, sp);
    case SIMCARD_IOCTL_CONTROL:
        return controlRequest(irp, sp);
    case SIMCARD_IOCTL_LOG:
        return logRequest(irp, sp);
    default:
        return complete(irp, STATUS_INVALID_DEVICE_REQUEST, 0);
    }
}

static NTSTATUS NTAPI dispatchOpenClose(PDEVICE_OBJECT dev, PIRP irp)
{
    (void)dev;
    return complete(irp, STATUS_SUCCESS, 0);
}

static VOID NTAPI unload(PDRIVER_OBJECT driver)
{
    UNICODE_STRING link;
    (void)driver;
    if (PendThread) {
        InterlockedExchange(&PendStop, 1);
        KeSetEvent(&PendWake, IO_NO_INCREMENT, FALSE);
        ZwWaitForSingleObject(PendThread, FALSE, NULL);
        ZwClose(PendThread);
        PendThread = NULL;
    }
    completePending();
    RtlInitUnicodeString(&link, LINK_NAME);
    IoDeleteSymbolicLink(&link);
    if (Device)
        IoDeleteDevice(Device);
    Device = NULL;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
{
    UNICODE_STRING name, link;
    NTSTATUS status;
    (void)registryPath;

    KeInitializeSpinLock(&Lock);
    KeInitializeEvent(&PendWake, SynchronizationEvent, FALSE);
    simcard_init(&Card);

    RtlInitUnicodeString(&name, DEVICE_NAME);
    RtlInitUnicodeString(&link, LINK_NAME);
    status = IoCreateDevice(driver, 0, &name, FILE_DEVICE_KS, 0, FALSE, &Device);
    if (!NT_SUCCESS(status))
        return status;
    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(Device);
        Device = NULL;
        return status;
    }
    driver->MajorFunction[IRP_MJ_CREATE] = dispatchOpenClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = dispatchOpenClose;
    driver->MajorFunction[IRP_MJ_CLEANUP] = dispatchOpenClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = dispatchControl;
    /* Without the worker, requests are answered at once even with pending on. */
    if (!NT_SUCCESS(PsCreateSystemThread(&PendThread, THREAD_ALL_ACCESS, NULL, NULL, NULL, pendWorker, NULL)))
        PendThread = NULL;
    driver->DriverUnload = unload;
    return STATUS_SUCCESS;
}
