#include "hostprocess.h"

#include "dispatchobject.h"
#include "platform/quilleterror.h"

#include <QDeadlineTimer>
#include <QThread>
#include <objbase.h>

namespace {

// The host's class names: each major release from the newest down, then the version-independent
// name, which stands for whichever release was installed or repaired last.
QStringList progIds()
{
    QStringList ids;
    for (int release = 40; release >= 13; --release)
        ids.append(QStringLiteral("SldWorks.Application.%1").arg(release));
    ids.append(QStringLiteral("SldWorks.Application"));
    return ids;
}

// A string value in the 64-bit view of HKEY_CLASSES_ROOT; empty when there is none.
QString classesValue(const QString &key)
{
    const std::wstring subKey = key.toStdWString();
    DWORD size = 0;
    constexpr DWORD flags = RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY;
    if (RegGetValueW(HKEY_CLASSES_ROOT, subKey.c_str(), nullptr, flags, nullptr, nullptr, &size)
            != ERROR_SUCCESS
        || size < sizeof(wchar_t))
        return {};
    std::wstring value(size / sizeof(wchar_t), L'\0');
    if (RegGetValueW(
            HKEY_CLASSES_ROOT, subKey.c_str(), nullptr, flags, nullptr, value.data(), &size)
        != ERROR_SUCCESS)
        return {};
    value.resize(wcsnlen(value.c_str(), value.size()));
    return QString::fromStdWString(value);
}

[[noreturn]] void raise(const QString &what, DWORD code = GetLastError())
{
    throw QuilletError(int(HRESULT_FROM_WIN32(code)), what);
}

} // namespace

QString HostProcess::registeredServer(QString *why)
{
    for (const QString &id : progIds()) {
        const QString clsid = classesValue(id + QStringLiteral("\\CLSID"));
        if (clsid.isEmpty())
            continue;
        const QString server
            = classesValue(QStringLiteral("CLSID\\") + clsid + QStringLiteral("\\LocalServer32"));
        if (!server.isEmpty())
            return server;
    }
    *why = QStringLiteral("the CAD host is not installed: no class SldWorks.Application has a "
                          "local server in the registry");
    return {};
}

HostProcess::HostProcess(const QString &program, int startSeconds)
{
    job = CreateJobObjectW(nullptr, nullptr);
    if (!job)
        raise(QStringLiteral("cannot make a job object for the host"));
    // The host ends with this process, even when it is killed.
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        const DWORD code = GetLastError();
        CloseHandle(job);
        raise(QStringLiteral("cannot make a job object for the host"), code);
    }
    // No splash screen, no dialogs at start-up; its window hidden from the start where it obeys.
    std::wstring commandLine = L"\"" + program.toStdWString() + L"\" /r";
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION started {};
    // Suspended until it is in the job, so that nothing it starts escapes the job; in a process
    // group of its own, so that the call's Ctrl+C, which stops the call after its sheet, does
    // not kill the host under it.
    if (!CreateProcessW(program.toStdWString().c_str(), commandLine.data(), nullptr, nullptr, FALSE,
            CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP | CREATE_NO_WINDOW, nullptr, nullptr,
            &startup, &started)) {
        const DWORD code = GetLastError();
        CloseHandle(job);
        raise(QStringLiteral("cannot start the CAD host %1").arg(program), code);
    }
    process = started.hProcess;
    processId = started.dwProcessId;
    if (!AssignProcessToJobObject(job, process)) {
        const DWORD code = GetLastError();
        TerminateProcess(process, 1);
        CloseHandle(started.hThread);
        CloseHandle(process);
        CloseHandle(job);
        raise(QStringLiteral("cannot put the CAD host in a job object"), code);
    }
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);

    // The host registers itself when it is ready for calls; until then it is polled, as long as
    // it runs.
    const QDeadlineTimer deadline { std::chrono::seconds(startSeconds) };
    try {
        while (!(app = findInRunningObjects())) {
            if (!running()) {
                throw QuilletError(int(E_FAIL),
                    QStringLiteral("the CAD host ended as it started (exit status %1)")
                        .arg(exitCode()));
            }
            if (deadline.hasExpired()) {
                throw QuilletError(int(RPC_E_TIMEOUT),
                    QStringLiteral("the CAD host did not start within %1 s").arg(startSeconds));
            }
            QThread::msleep(100);
        }
        DispatchObject host(app);
        // Until its start-up has completed (add-ins loaded), it is not ready for documents.
        if (host.offers(QStringLiteral("StartupProcessCompleted"))) {
            while (!host.get(QStringLiteral("StartupProcessCompleted")).flag()) {
                if (deadline.hasExpired()) {
                    throw QuilletError(int(RPC_E_TIMEOUT),
                        QStringLiteral("the CAD host did not complete its start-up within %1 s")
                            .arg(startSeconds));
                }
                QThread::msleep(100);
            }
        }
    } catch (...) {
        app.Reset();
        kill();
        CloseHandle(process);
        CloseHandle(job);
        throw;
    }
}

HostProcess::~HostProcess()
{
    app.Reset();
    kill();
    CloseHandle(process);
    // Closing the job ends whatever the host started.
    CloseHandle(job);
}

ComPtr<IDispatch> HostProcess::findInRunningObjects() const
{
    ComPtr<IRunningObjectTable> table;
    ComPtr<IEnumMoniker> monikers;
    ComPtr<IBindCtx> context;
    if (FAILED(GetRunningObjectTable(0, &table)) || FAILED(table->EnumRunning(&monikers))
        || FAILED(CreateBindCtx(0, &context)))
        return nullptr;
    // The name the host registers itself under: its own process id, so no other session's.
    const std::wstring wanted = L"SolidWorks_PID_" + std::to_wstring(processId);
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        LPOLESTR name = nullptr;
        if (FAILED(moniker->GetDisplayName(context.Get(), nullptr, &name)) || !name)
            continue;
        const bool found = wanted == name;
        CoTaskMemFree(name);
        if (!found)
            continue;
        ComPtr<IUnknown> object;
        ComPtr<IDispatch> dispatch;
        if (SUCCEEDED(table->GetObject(moniker.Get(), &object)) && SUCCEEDED(object.As(&dispatch)))
            return dispatch;
    }
    return nullptr;
}

bool HostProcess::running() const
{
    return WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

DWORD HostProcess::exitCode() const
{
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return code;
}

void HostProcess::kill()
{
    if (running()) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
    }
}

void HostProcess::end(int seconds)
{
    if (app && running()) {
        try {
            DispatchObject(app).call(QStringLiteral("ExitApp"));
        } catch (const QuilletError &) {
            // A host that cannot take the request is killed below.
        }
    }
    app.Reset();
    if (WaitForSingleObject(process, DWORD(seconds) * 1000) != WAIT_OBJECT_0)
        kill();
}
