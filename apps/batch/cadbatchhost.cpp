#include "cadbatchhost.h"

#include "cadhostrules.h"
#include "comhost.h"
#include "dispatchobject.h"
#include "hostprocess.h"
#include "platform/quilleterror.h"
#include "stagedsaves.h"
#include "stagingapplication.h"

#include <QFileInfo>
#include <QList>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace {

// A drawing document, as the host counts document types.
constexpr long drawingType = 3;
// Opened without dialogs, and read-only: the batch only reads the drawing.
constexpr long openSilentReadOnly = 1 | 2;
// Seconds the host is given to end by itself before it is killed.
constexpr int endSeconds = 20;

// Runs onExpire on a thread of its own once the armed deadline passes, unless disarmed first.
class Watchdog {
public:
    Watchdog()
        : thread([this] { watch(); })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard lock(mutex);
            quit = true;
        }
        changed.notify_one();
        thread.join();
    }

    void arm(std::chrono::seconds after, std::function<void()> expire)
    {
        {
            std::lock_guard lock(mutex);
            deadline = std::chrono::steady_clock::now() + after;
            onExpire = std::move(expire);
        }
        changed.notify_one();
    }
    // Once this returns, onExpire is not running and will not run.
    void disarm()
    {
        std::lock_guard lock(mutex);
        deadline.reset();
    }

private:
    void watch()
    {
        std::unique_lock lock(mutex);
        while (!quit) {
            if (!deadline) {
                changed.wait(lock);
            } else if (changed.wait_until(lock, *deadline) == std::cv_status::timeout && deadline
                && std::chrono::steady_clock::now() >= *deadline) {
                deadline.reset();
                onExpire();
            }
        }
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::optional<std::chrono::steady_clock::time_point> deadline;
    std::function<void()> onExpire;
    bool quit = false;
    std::thread thread;
};

// Calls the host turns away because it is busy go again until the deadline; the filter belongs
// to the thread that makes every call.
class BusyRetryFilter final : public IMessageFilter {
public:
    explicit BusyRetryFilter(DWORD deadlineMs)
        : deadlineMs(deadlineMs)
    {
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override
    {
        if (iid == IID_IUnknown || iid == IID_IMessageFilter) {
            *object = static_cast<IMessageFilter *>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // Owned by the host object for the life of its registration.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override
    {
        return SERVERCALL_ISHANDLED;
    }
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD elapsedMs, DWORD rejectType) override
    {
        return DWORD(CadHostRules::retryDelay(rejectType, elapsedMs, deadlineMs));
    }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override
    {
        return PENDINGMSG_WAITDEFPROCESS;
    }

private:
    DWORD deadlineMs;
};

// A setting of the host: read before it is changed, put back before the host ends.
struct Saved {
    QString member;
    bool value;
};

class CadBatchHost : public BatchHost {
public:
    explicit CadBatchHost(const BatchOptions &options)
        : options(options)
        , filter(DWORD(options.timeoutSeconds) * 1000)
    {
        // Every call to the host is made on this thread, whose apartment owns the proxies.
        const HRESULT initialised = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        comInitialised = SUCCEEDED(initialised);
        if (FAILED(initialised) && initialised != RPC_E_CHANGED_MODE)
            throw QuilletError(int(initialised), QStringLiteral("COM cannot start"));
        CoRegisterMessageFilter(&filter, &previousFilter);
        QString why;
        server = CadHostRules::serverExecutable(HostProcess::registeredServer(&why));
        if (server.isEmpty())
            throw QuilletError(int(REGDB_E_CLASSNOTREG), why);
    }
    ~CadBatchHost() override
    {
        finish();
        CoRegisterMessageFilter(previousFilter, nullptr);
        if (previousFilter)
            previousFilter->Release();
        if (comInitialised)
            CoUninitialize();
    }

    // Every save goes through a staged file: in a worker for the call to rename into place, in
    // the call itself renamed at once, so that a host lost during a save leaves no torn file.
    std::shared_ptr<CadApplication> application() override
    {
        return stagingApplication(app, staging, !staged);
    }

    void open(const QString &path) override
    {
        lost.clear();
        if (process
            && (!process->running()
                || (options.restartEvery > 0 && drawingsInHost >= options.restartEvery)))
            stop();
        if (!process) {
            try {
                start();
            } catch (const QuilletError &error) {
                throw OpenFailure { error.description, error.number };
            }
        }
        ++drawingsInHost;
        const QString name = QFileInfo(path).fileName();
        timedOut = false;
        // The deadline runs from opening the drawing to closing it.
        watchdog.arm(std::chrono::seconds(options.timeoutSeconds), [this] {
            timedOut = true;
            process->kill();
        });
        int errors = 0;
        int warnings = 0;
        std::shared_ptr<CadDocument> document;
        try {
            document = app->OpenDocument(
                path, drawingType, openSilentReadOnly, QString(), errors, warnings);
            // A document opened hidden need not become the active one by itself.
            int activateErrors = 0;
            if (document)
                app->ActivateDocument(path, true, activateErrors);
        } catch (const QuilletError &error) {
            const QString lostHost = lostOver(name);
            throw OpenFailure { lostHost.isEmpty() ? error.description : lostHost, error.number };
        }
        if (!document) {
            if (CadHostRules::hostUnwell(errors))
                unwell = true;
            const QString cause = CadHostRules::openErrorText(errors);
            throw OpenFailure { QStringLiteral("the host cannot open %1%2 (error %3)")
                                    .arg(path, cause.isEmpty() ? QString() : ": " + cause)
                                    .arg(errors),
                errors };
        }
    }

    void closeAll() override
    {
        if (process && process->running() && app) {
            try {
                DispatchObject(ComPtr<IDispatch>(process->application()))
                    .call(QStringLiteral("CloseAllDocuments"), Variant::fromBool(true));
            } catch (const QuilletError &) {
                // A host that cannot close its documents is replaced before the next drawing.
                unwell = true;
            }
        }
        watchdog.disarm();
        if (unwell)
            stop();
    }

    StagedSaves &stageSaves() override
    {
        staged = true;
        return staging;
    }

    QString lostOver(const QString &drawing) override
    {
        if (lost.isEmpty() && process && !process->running()) {
            lost = timedOut ? CadHostRules::stoppedText(drawing, options.timeoutSeconds)
                            : CadHostRules::endedText(drawing);
        }
        return lost;
    }

    void finish() override
    {
        watchdog.disarm();
        if (process)
            stop();
        // Options of the user's changed by a host that was lost are put back through a fresh
        // one, which then ends as well.
        if (!toggles.isEmpty()) {
            try {
                start();
                stop();
            } catch (const QuilletError &) {
                // Nothing more can be done without a host; the options stay as they are.
            }
        }
    }

private:
    void start()
    {
        process = std::make_unique<HostProcess>(server, options.timeoutSeconds);
        app = std::make_shared<ComApplication>(ComPtr<IDispatch>(process->application()));
        drawingsInHost = 0;
        unwell = false;
        quiet();
    }

    // Out of sight and out of the user's way: hidden, not in the user's control, documents
    // opened hidden, updates held back, and the options that would ask questions off. The
    // system options are the user's own, shared with every session: each is put back as it
    // was.
    void quiet()
    {
        DispatchObject host(ComPtr<IDispatch>(process->application()));
        sessionSettings.clear();
        for (const auto &[member, value] : { std::pair { QStringLiteral("Visible"), false },
                 std::pair { QStringLiteral("UserControl"), false },
                 std::pair { QStringLiteral("UserControlBackground"), true },
                 std::pair { QStringLiteral("CommandInProgress"), true } }) {
            if (!host.offers(member))
                continue;
            sessionSettings.append({ member, host.get(member).flag() });
            host.put(member, Variant::fromBool(value));
        }
        if (host.offers(QStringLiteral("GetDocumentVisible"))) {
            documentsVisible
                = host.call(QStringLiteral("GetDocumentVisible"), Variant::fromLong(drawingType))
                      .flag();
        }
        host.call(QStringLiteral("DocumentVisible"), Variant::fromBool(false),
            Variant::fromLong(drawingType));
        if (!host.offers(QStringLiteral("SetUserPreferenceToggle")))
            return;
        // Errors shown at every rebuild, warnings on saving, the sheet format dialog off;
        // references opened read-only, without asking to save them.
        for (const auto &[toggle, value] :
            { std::pair { 77L, false }, std::pair { 329L, false }, std::pair { 334L, false },
                std::pair { 353L, false }, std::pair { 14L, true }, std::pair { 15L, true } }) {
            const bool was
                = host.call(QStringLiteral("GetUserPreferenceToggle"), Variant::fromLong(toggle))
                      .flag();
            if (was == value)
                continue;
            toggles.append({ toggle, was });
            host.call(QStringLiteral("SetUserPreferenceToggle"), Variant::fromLong(toggle),
                Variant::fromBool(value));
        }
    }

    // The host's settings put back, then the host ended.
    void stop()
    {
        watchdog.disarm();
        if (process->running()) {
            try {
                DispatchObject host(ComPtr<IDispatch>(process->application()));
                for (const auto &[toggle, was] : std::as_const(toggles)) {
                    host.call(QStringLiteral("SetUserPreferenceToggle"), Variant::fromLong(toggle),
                        Variant::fromBool(was));
                }
                toggles.clear();
                if (documentsVisible) {
                    host.call(QStringLiteral("DocumentVisible"), Variant::fromBool(true),
                        Variant::fromLong(drawingType));
                }
                for (const Saved &setting : std::as_const(sessionSettings))
                    host.put(setting.member, Variant::fromBool(setting.value));
            } catch (const QuilletError &) {
                // A host that cannot take its settings back ends all the same; what it could
                // not put back waits for the next host.
            }
        }
        app.reset();
        process->end(endSeconds);
        process.reset();
    }

    const BatchOptions &options;
    BusyRetryFilter filter;
    IMessageFilter *previousFilter = nullptr;
    bool comInitialised = false;
    QString server;
    std::unique_ptr<HostProcess> process;
    std::shared_ptr<ComApplication> app;
    Watchdog watchdog;
    int drawingsInHost = 0;
    // Set by the watchdog's thread before it kills the host.
    std::atomic<bool> timedOut = false;
    // The host told of its own trouble: it is replaced after this drawing.
    bool unwell = false;
    QString lost;
    QList<Saved> sessionSettings;
    bool documentsVisible = true;
    // The user's options changed, with their values before.
    QList<std::pair<long, bool>> toggles;
    StagedSaves staging;
    // The call renames the staged files into place.
    bool staged = false;
};

} // namespace

std::unique_ptr<BatchHost> cadBatchHost(const BatchOptions &options)
{
    return std::make_unique<CadBatchHost>(options);
}
