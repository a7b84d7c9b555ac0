// Times a batch of one file in the real dialog (offscreen) against the command line on the same
// file, in the same process, and prints the medians and their ratio. The per-frame window work
// (progress, current frame, event processing) must not dominate the walk.
// usage: kestrune_dialog_bench FILE [RUNS]     (run with QT_QPA_PLATFORM=offscreen)
#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "app/KestruneDlg.h"
#include "app/IPlatformTools.h"
#include "app/ListView.h"
#include "cli/CliApp.h"

namespace {

// Answers the picker with the benchmark's file and swallows the "Done" box.
class CBenchTools : public IPlatformTools {
public:
    explicit CBenchTools(QString strPath) : m_strPath(std::move(strPath)) {}
    bool PickFiles(QWidget*, const QStringList&, QStringList& paths) override
    {
        paths.append(m_strPath);
        return true;
    }
    void ShowMessage(QWidget*, const QString&, const QString&, EIcon) override { ++m_nMessages; }
    int m_nMessages = 0;

private:
    QString m_strPath;
};

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

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [RUNS]\n", argv[0]);
        return 2;
    }
    const std::string strFile = argv[1];
    const int nRuns = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

    std::vector<double> cli, dialog;
    for (int i = 0; i < nRuns; ++i) {
        cli.push_back(Seconds([&] {
            std::ostringstream out, err;
            if (CCliApp::Run({strFile}, out, err, nullptr) != 0)
                std::fprintf(stderr, "kestrune-cli failed: %s\n", err.str().c_str());
        }));

        CBenchTools tools(QString::fromStdString(strFile));
        CKestruneDlg dlg(tools);
        dlg.show();
        dlg.AddFiles();
        dialog.push_back(Seconds([&] { dlg.RunBatch(); }));
        if (dlg.m_ctlBatchList->GetItemText(0, 1) != QStringLiteral("done") || tools.m_nMessages != 1)
            std::fprintf(stderr, "the dialog's batch did not end with \"done\" and \"Done\"\n");
    }
    const double nCli = Median(cli), nDialog = Median(dialog);
    std::printf("file: %s, %d runs (inspect, no rebuild)\n", strFile.c_str(), nRuns);
    std::printf("command line (in process): median %.3f s\n", nCli);
    std::printf("dialog batch (offscreen):  median %.3f s\n", nDialog);
    std::printf("dialog / command line:     %.2f x  (target <= 1.30)\n", nDialog / nCli);
    return 0;
}
