// SPDX-License-Identifier: GPL-3.0-or-later
// Times a batch in the real dialog (offscreen) against the command line on the same files, in the
// same process, and prints the medians and their ratio. The per-frame window work (progress,
// current frame, event processing) must not dominate the walk.
// usage: kestrune_dialog_bench [--runs N] FILE...     (run with QT_QPA_PLATFORM=offscreen)
#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "app/KestruneDlg.h"
#include "app/ListView.h"
#include "app/FakePlatformTools.h"
#include "cli/CliApp.h"

namespace {

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template <typename F>
double Seconds(F&& f)
{
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One batch of all the files in a fresh dialog; complains when it did not end as a good batch does.
double DialogSeconds(const std::vector<std::string>& files)
{
    QStringList paths;
    for (const std::string& strFile : files)
        paths.append(QString::fromStdString(strFile));
    // Answers the picker with the benchmark's files and counts the "Done" box.
    CFakePlatformTools tools;
    tools.m_PickAnswers.push_back(paths);
    CKestruneDlg dlg(tools);
    dlg.show();
    dlg.AddFiles();
    const auto* pBatch = dlg.findChild<const CListView*>(QStringLiteral("batchList"));
    // From Start to the closing box: the walk beside the window and every row shown.
    const double nSeconds = Seconds([&] {
        dlg.RunBatch();
        while (dlg.IsBatchRunning())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    });
    for (int i = 0; i < paths.size(); ++i)
        if (pBatch->GetItemText(i, 1) != QStringLiteral("done"))
            std::fprintf(stderr, "the dialog's batch did not end with \"done\" for %s\n", files[i].c_str());
    if (tools.m_Messages.size() != 1)
        std::fprintf(stderr, "the dialog's batch did not end with one \"Done\" box\n");
    return nSeconds;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int nRuns = 5;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--runs" && i + 1 < argc)
            nRuns = std::max(1, std::atoi(argv[++i]));
        else
            files.emplace_back(argv[i]);
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: %s [--runs N] FILE...\n", argv[0]);
        return 2;
    }

    std::vector<double> cli, dialog;
    for (int i = 0; i < nRuns; ++i) {
        cli.push_back(Seconds([&] {
            std::ostringstream out, err;
            if (CCliApp::Run(files, out, err, nullptr) != 0)
                std::fprintf(stderr, "kestrune-cli failed: %s\n", err.str().c_str());
        }));
        dialog.push_back(DialogSeconds(files));
    }
    const double nCli = Median(cli), nDialog = Median(dialog);
    std::printf("%zu files, %d runs (inspect, no rebuild)\n", files.size(), nRuns);
    std::printf("command line (in process): median %.3f s\n", nCli);
    std::printf("dialog batch (offscreen):  median %.3f s\n", nDialog);
    std::printf("dialog / command line:     %.2f x  (target <= 1.10)\n", nDialog / nCli);
    return 0;
}
