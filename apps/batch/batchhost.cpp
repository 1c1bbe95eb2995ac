#include "batchhost.h"

#include "standinhost.h"

namespace {

class StandInBatchHost : public BatchHost {
public:
    StandInBatchHost()
        : app(StandInApplication::create())
    {
        QObject::connect(
            app->frame().get(), &StandInFrame::statusBarTextChanged, [this](const QString &text) {
                if (statusText)
                    statusText(text);
            });
        QObject::connect(app.get(), &StandInApplication::message, [this](const QString &text) {
            if (message)
                message(text);
        });
    }

    std::shared_ptr<CadApplication> application() override { return app; }
    void open(const QString &path) override
    {
        try {
            app->open(path);
        } catch (const std::exception &error) {
            throw OpenFailure { QString::fromUtf8(error.what()) };
        }
    }
    void closeAll() override { app->closeAllDocuments(); }
    StagedSaves &stageSaves() override
    {
        app->stageSaves();
        return *app->stagedSaves();
    }

private:
    std::shared_ptr<StandInApplication> app;
};

} // namespace

std::unique_ptr<BatchHost> standInBatchHost()
{
    return std::make_unique<StandInBatchHost>();
}
