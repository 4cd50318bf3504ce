// The confirmation dialog for destructive commands: a question, "ＯＫ" and "キャンセル" (focused).
#pragma once

#include <QDialog>
#include <cstdint>

class QLabel;
class QPushButton;

namespace tessarin {

inline constexpr std::int16_t kDlgOk = 1;
inline constexpr std::int16_t kDlgCancel = 2;

class dlgMsgBox : public QDialog {
    Q_OBJECT
  public:
    // `message` may hold CR LF line breaks; `title` becomes the caption.
    dlgMsgBox(const QString& message, const QString& title, QWidget* parent = nullptr);

    // 1 after "ＯＫ", 2 after "キャンセル", Esc or the close box (2 until the dialog has ended).
    std::int16_t DlgResult() const { return m_dlgResult; }

    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QLabel* m_lblMsg = nullptr;
    QPushButton* m_cmdButton0 = nullptr;
    QPushButton* m_cmdButton1 = nullptr;
    std::int16_t m_dlgResult = kDlgCancel;
    bool m_cursorSet = false;
};

// Asks `message` under the caption `title`, modally to the whole program: 1 for OK, 2 for Cancel.
// The mouse pointer is the arrow while the dialog is up and is as it was before once it has closed.
std::int16_t ShowMsgDialog(const QString& message, const QString& title, QWidget* parent = nullptr);

// A warning with "OK", modal to `parent`. The text is plain: a path, a device or a process name in it is
// shown as it is, never read as markup.
void ShowWarningBox(QWidget* parent, const QString& title, const QString& text);

}  // namespace tessarin
