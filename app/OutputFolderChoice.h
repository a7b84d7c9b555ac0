// SPDX-License-Identifier: GPL-3.0-or-later
// The window's "Output folder" choice: beside each input (the default) or one folder, picked
// with a folder dialog and remembered between runs.
#pragma once

#include <QComboBox>
#include <QString>
#include <QStringList>

class QSettings;

class COutputFolderChoice : public QComboBox {
    Q_OBJECT
public:
    // Takes the folder last chosen from settings, and keeps each new choice there.
    COutputFolderChoice(QSettings& settings, QWidget* pParent);

    // The folder outputs go to; empty for beside each input.
    QString Folder() const { return m_strFolder; }
    // Chooses strFolder (empty: beside each input) and remembers it.
    void SetFolder(const QString& strFolder);

    // Why a run of these inputs cannot write its outputs into strFolder: the folder takes no
    // files, or two inputs of one name would write the same output (the second replacing the
    // first). Empty when they can, and always for outputs beside their inputs.
    static QString ProblemBeforeRun(const QString& strFolder, const QStringList& inputs);

private:
    // The picker entry was chosen: asks for a folder, or goes back to the choice before.
    void OnActivated(int nIndex);
    void Refill();

    QSettings& m_Settings;
    QString m_strFolder;
};
