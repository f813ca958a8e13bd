#pragma once

#include <QtGlobal>

// Numeric values of the Windows API that the program's code works with:
// error codes, registry types and access rights, service and task constants.
// They are the documented values, so code written against this layer reads
// like the Windows calls it stands for.
namespace win {

using Error = quint32;   // a Win32 error code (GetLastError / LSTATUS)
using HResult = qint32;  // a COM result
// SIZE_T of the program, which is a 32-bit process: a size of 4 GiB or more
// does not fit in it.
using SizeT = quint32;
constexpr quint64 MaxSizeT = 0xFFFFFFFFu;

constexpr Error ErrorSuccess = 0;
constexpr Error ErrorFileNotFound = 2;
constexpr Error ErrorPathNotFound = 3;
constexpr Error ErrorAccessDenied = 5;
constexpr Error ErrorInvalidHandle = 6;
constexpr Error ErrorNotEnoughMemory = 8;
constexpr Error ErrorInvalidData = 13;
constexpr Error ErrorNotReady = 21;
constexpr Error ErrorSharingViolation = 32;
constexpr Error ErrorFileExists = 80;
constexpr Error ErrorInvalidParameter = 87;
constexpr Error ErrorBufferOverflow = 111;
constexpr Error ErrorInsufficientBuffer = 122;
constexpr Error ErrorInvalidName = 123;
constexpr Error ErrorProcNotFound = 127;
constexpr Error ErrorDirNotEmpty = 145;
constexpr Error ErrorAlreadyExists = 183;
constexpr Error ErrorNoData = 232;
constexpr Error ErrorMoreData = 234;
constexpr Error ErrorNoMoreItems = 259;
constexpr Error ErrorKeyDeleted = 1018;
constexpr Error ErrorDependentServicesRunning = 1051;
constexpr Error ErrorInvalidServiceControl = 1052;
constexpr Error ErrorServiceRequestTimeout = 1053;
constexpr Error ErrorServiceAlreadyRunning = 1056;
constexpr Error ErrorServiceDisabled = 1058;
constexpr Error ErrorServiceDoesNotExist = 1060;
constexpr Error ErrorServiceCannotAcceptCtrl = 1061;
constexpr Error ErrorServiceNotActive = 1062;
constexpr Error ErrorPrivilegeNotHeld = 1314;
constexpr Error ErrorNotAReparsePoint = 4390;

constexpr HResult S_Ok = 0;
constexpr HResult S_False = 1;
constexpr HResult E_AccessDenied = qint32(0x80070005u);
constexpr HResult E_FileNotFound = qint32(0x80070002u);   // HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)
constexpr HResult E_PathNotFound = qint32(0x80070003u);
constexpr HResult E_Fail = qint32(0x80004005u);
constexpr HResult E_InvalidArg = qint32(0x80070057u);
constexpr HResult E_Pointer = qint32(0x80004003u);
constexpr HResult CO_E_NotInitialized = qint32(0x800401F0u);
constexpr HResult RPC_E_ChangedMode = qint32(0x80010106u);
constexpr HResult RPC_E_ServerUnavailable = qint32(0x800706BAu);
constexpr HResult REGDB_E_ClassNotReg = qint32(0x80040154u);
constexpr HResult TRUST_E_NoSignature = qint32(0x800B0100u);
constexpr HResult TRUST_E_BadDigest = qint32(0x80096010u);
constexpr HResult CERT_E_Untrustedroot = qint32(0x800B0109u);

inline bool succeeded(HResult hr) { return hr >= 0; }
inline bool failed(HResult hr) { return hr < 0; }
inline HResult hresultFromWin32(Error e)
{
    return e == 0 ? S_Ok : qint32((e & 0x0000FFFFu) | 0x80070000u);
}

// Registry value types.
constexpr quint32 RegNone = 0;
constexpr quint32 RegSz = 1;
constexpr quint32 RegExpandSz = 2;
constexpr quint32 RegBinary = 3;
constexpr quint32 RegDword = 4;
constexpr quint32 RegDwordBigEndian = 5;
constexpr quint32 RegLink = 6;
constexpr quint32 RegMultiSz = 7;
constexpr quint32 RegResourceList = 8;
constexpr quint32 RegQword = 11;

// Registry access rights.
constexpr quint32 KeyQueryValue = 0x0001;
constexpr quint32 KeySetValue = 0x0002;
constexpr quint32 KeyCreateSubKey = 0x0004;
constexpr quint32 KeyEnumerateSubKeys = 0x0008;
constexpr quint32 KeyNotify = 0x0010;
constexpr quint32 KeyCreateLink = 0x0020;
constexpr quint32 KeyWow64_64Key = 0x0100;
constexpr quint32 KeyWow64_32Key = 0x0200;
constexpr quint32 KeyDelete = 0x00010000;   // DELETE
constexpr quint32 KeyReadControl = 0x00020000;
constexpr quint32 KeyRead = 0x00020019;
constexpr quint32 KeyWrite = 0x00020006;
constexpr quint32 KeyAllAccess = 0x000F003F;

// Service control manager and service access rights.
constexpr quint32 ScManagerConnect = 0x0001;
constexpr quint32 ScManagerCreateService = 0x0002;
constexpr quint32 ScManagerEnumerateService = 0x0004;
constexpr quint32 ScManagerAllAccess = 0x000F003F;
constexpr quint32 ServiceQueryConfig = 0x0001;
constexpr quint32 ServiceChangeConfig = 0x0002;
constexpr quint32 ServiceQueryStatus = 0x0004;
constexpr quint32 ServiceEnumerateDependents = 0x0008;
constexpr quint32 ServiceStart = 0x0010;
constexpr quint32 ServiceStop = 0x0020;
constexpr quint32 ServiceAllAccess = 0x000F01FF;

// Service types, start types, states and controls.
constexpr quint32 ServiceKernelDriver = 0x01;
constexpr quint32 ServiceFileSystemDriver = 0x02;
constexpr quint32 ServiceWin32OwnProcess = 0x10;
constexpr quint32 ServiceWin32ShareProcess = 0x20;
constexpr quint32 ServiceWin32 = 0x30;
constexpr quint32 ServiceDriver = 0x0B;
constexpr quint32 ServiceBootStart = 0;
constexpr quint32 ServiceSystemStart = 1;
constexpr quint32 ServiceAutoStart = 2;
constexpr quint32 ServiceDemandStart = 3;
constexpr quint32 ServiceDisabled = 4;
constexpr quint32 ServiceNoChange = 0xFFFFFFFF;
constexpr quint32 ServiceActive = 0x1;
constexpr quint32 ServiceInactive = 0x2;
constexpr quint32 ServiceStateAll = 0x3;
constexpr quint32 ServiceStopped = 1;
constexpr quint32 ServiceStartPending = 2;
constexpr quint32 ServiceStopPending = 3;
constexpr quint32 ServiceRunning = 4;
constexpr quint32 ServiceContinuePending = 5;
constexpr quint32 ServicePausePending = 6;
constexpr quint32 ServicePaused = 7;
constexpr quint32 ServiceAcceptStop = 0x1;
constexpr quint32 ServiceControlStop = 0x1;
constexpr quint32 ServiceControlInterrogate = 0x4;

// Process access rights.
constexpr quint32 ProcessTerminate = 0x0001;
constexpr quint32 ProcessVmRead = 0x0010;
constexpr quint32 ProcessSetQuota = 0x0100;
constexpr quint32 ProcessQueryInformation = 0x0400;
constexpr quint32 ProcessQueryLimitedInformation = 0x1000;

// Window long indices and extended styles.
constexpr int GwlStyle = -16;
constexpr int GwlExStyle = -20;
constexpr quint32 WsExToolWindow = 0x00000080;
constexpr quint32 WsExTopmost = 0x00000008;
constexpr quint32 WsVisible = 0x10000000;

// Processor architectures of GetNativeSystemInfo.
constexpr quint16 ProcessorArchitectureIntel = 0;
constexpr quint16 ProcessorArchitectureArm = 5;
constexpr quint16 ProcessorArchitectureAmd64 = 9;
constexpr quint16 ProcessorArchitectureArm64 = 12;

} // namespace win
