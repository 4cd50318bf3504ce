// The main window's StatusBar1: the link text in panel 1 (its tooltip says why the link is as it is), the
// send lamp in panel 2 blinking with every request, the receive lamp in panel 3 with every receive pass that
// took a frame in, the recording mark in panel 4, the date and time, and the product badge.
#pragma once

#include <QStatusBar>
#include <QString>
#include <cstdint>
#include <string>

#include "ui/pictures.h"

class QLabel;
class QTimer;

namespace tessarin {

class LinkDriver;

// Plain text as a tooltip shows it: a text that Qt would take for markup (a process or device name with
// "<" in it) is escaped and shown as written.
QString PlainToolTip(const std::string& text);

// A sunken status-bar panel showing plain text.
QLabel* MakeStatusPanel(const QString& name);

class LinkStatusBar : public QStatusBar {
    Q_OBJECT
  public:
    // The lamp pictures from `pictureFolder`.
    explicit LinkStatusBar(const QString& pictureFolder, QWidget* parent = nullptr);

    // Shows what `driver` reports from now on.
    void Follow(const LinkDriver& driver);

    // The panels, numbered from 1 as the operator sees them.
    [[nodiscard]] QLabel* Panel(int panel) const;
    // The file name of the lamp picture last put into panel 2 or 3 ("" for the picture stored with the window).
    [[nodiscard]] QString PanelPictureName(int panel) const;
    // Panel 1 takes the link text; panels 2 and 3 a lamp picture by file name.
    void ShowPanelText(int panel, const std::string& text) const;
    void ShowPanelPicture(int panel, const std::string& pictureName);
    // The trend window's recording mark in panel 4.
    void ShowRecording(bool recording);
    // Program end: the clock stops.
    void StopClock();

  private:
    void buildPanels();
    void refreshClock();
    void requestSent();
    void passEnded();
    void receiveStopped();
    void portLost();
    void answerOverdue(std::uint8_t code);
    void collectionStopped();
    void showDiagnosis(const LinkDriver& driver);

    LampPictures m_lamps;
    QLabel* m_panels[7] = {};
    QString m_panelPictures[2];
    QTimer* m_tmrClock = nullptr;
    bool m_sendLampLit = false;  // blink phases of the two lamps
    bool m_receiveLampLit = false;
};

}  // namespace tessarin
