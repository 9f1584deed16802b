// The e-mail settings dialogs on a large recipient list: Apply, which stores every value and
// the whole list (goal: 10,000 recipients in well under a second), and opening the dialog on
// such a stored list.
// Run: QT_QPA_PLATFORM=offscreen build/bench/mail/mail_bench
#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>

#include "ScanBenchSupport.h"
#include "app/RecipientListStore.h"
#include "app/SettingsKeys.h"
#include "controls/ReportCtrl.h"
#include "mail/EmailBCDSetDlg.h"
#include "mail/Mailer.h"
#include "platform/SettingsStore.h"

namespace {

struct Profile {
    explicit Profile(int recipients) {
        QList<RecipientEntry> entries;
        for (int i = 0; i < recipients; ++i)
            entries.append({i % 3 ? 1 : 0, QStringLiteral("user%1@example.com").arg(i)});
        WriteRecipientEntries(store, QString::fromLatin1(RecipientSection::kBrokerGoingDown),
                              entries);
    }
    EmailDialogServices Services() { return {settings, mailer, prompter, {}, {}}; }

    QTemporaryDir dir;
    SettingsStore store{QDir(dir.path()).filePath(QStringLiteral("profile.ini"))};
    AppSettings settings{store};
    SilentPrompter prompter;
    FixedClock clock;
    CommandLauncher launcher{prompter};
    Mailer mailer{launcher, prompter, clock, dir.path()};
};

void BM_ApplyRecipientList(benchmark::State& state) {
    Profile profile(static_cast<int>(state.range(0)));
    CEmailBCDSetDlg dialog(profile.Services());
    int flip = 0;
    for (auto _ : state) {
        // A changed box each time, so that every Apply has something new to write.
        dialog.Recipients().SetCheck(0, (++flip & 1) != 0);
        dialog.Apply();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ApplyRecipientList)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_OpenOnRecipientList(benchmark::State& state) {
    Profile profile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        CEmailBCDSetDlg dialog(profile.Services());
        benchmark::DoNotOptimize(dialog.Recipients().GetItemCount());
    }
}
BENCHMARK(BM_OpenOnRecipientList)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
