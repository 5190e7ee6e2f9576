// The preferences dialog: diary title, editing font size and colours, the input method
// option and the backups, written to "User.ini". They take effect at the next start.
#pragma once

#include <QColor>
#include <QDialog>
#include <filesystem>

class QCheckBox;
class QComboBox;
class QFrame;
class QLineEdit;

class TSet_Form : public QDialog {
    Q_OBJECT

public:
    explicit TSet_Form(const std::filesystem::path& userSettingsFile, QWidget* parent = nullptr);

private:
    void FormCreate();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void setSwatch(QFrame* swatch, const QColor& color);
    QColor swatchColor(const QFrame* swatch) const;

    std::filesystem::path userSettingsFile_;
    QLineEdit* Edit1 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QFrame* Panel1 = nullptr;
    QFrame* Panel2 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QLineEdit* Edit2 = nullptr;      // another backup folder; empty: "backup"
    QCheckBox* CheckBox2 = nullptr;  // backups on
    // Each colour dialog starts from the colour last chosen in it during this run.
    QColor colorDialog1Last_ = Qt::black;
    QColor colorDialog2Last_ = Qt::black;
};
