// Shared pieces of the window tests: a main window on the link tests' fake listing and port, and helpers for
// modal windows.
#pragma once

#include <QApplication>
#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "data/device_data.h"
#include "link/fake_comm_port.h"
#include "link/fake_port_listing.h"
#include "ui/frm_mid_main.h"

namespace tessarin::test {

// Points XDG_RUNTIME_DIR at a fresh folder for as long as it lives.
class FreshRuntimeFolder {
  public:
    FreshRuntimeFolder() : m_previous(qgetenv("XDG_RUNTIME_DIR")) {
        qputenv("XDG_RUNTIME_DIR", m_folder.path().toLocal8Bit());
    }
    ~FreshRuntimeFolder() { qputenv("XDG_RUNTIME_DIR", m_previous); }
    FreshRuntimeFolder(const FreshRuntimeFolder&) = delete;
    FreshRuntimeFolder& operator=(const FreshRuntimeFolder&) = delete;
    FreshRuntimeFolder(FreshRuntimeFolder&&) = delete;
    FreshRuntimeFolder& operator=(FreshRuntimeFolder&&) = delete;
    bool Valid() const { return m_folder.isValid(); }

  private:
    QByteArray m_previous;
    QTemporaryDir m_folder;
};

// The lamp pictures the build puts beside the programs (build/bin/画像; the tests run from build/tests).
inline QString TestPictureFolder() {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../bin/画像"));
}

// The fake listing and port a window runs on. The window owns them: they live as long as it does.
struct FakeLine {
    FakePortListing* listing = nullptr;
    FakeCommPort* port = nullptr;
};

// A main window on a fake listing and a fake port that opens any number. `unitPort` ("COM3") is listed as
// the adapter's, "" for none; `line` (when given) is pointed at the fakes; `quits` counts the calls of the
// window's quit function.
inline std::unique_ptr<frmMidMain> MakeFakeWindow(const std::string& unitPort = {}, FakeLine* line = nullptr,
                                                  int* quits = nullptr, const QString& pictures = TestPictureFolder()) {
    auto listing = std::make_unique<FakePortListing>();
    auto port = std::make_unique<FakeCommPort>();
    if (!unitPort.empty()) {
        listing->SetVcp(0, unitPort);
    }
    port->OpenAnything();
    if (line != nullptr) {
        *line = {listing.get(), port.get()};
    }
    auto window = std::make_unique<frmMidMain>(std::move(listing), HandOver(std::move(port)), pictures);
    window->SetQuitFunction([quits] {
        if (quits != nullptr) {
            ++*quits;
        }
    });
    return window;
}

// Shows the window and waits until it is the active window, so that its shortcuts reach it.
inline bool ShowActive(QWidget& window) {
    window.show();
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    return QTest::qWaitForWindowActive(&window, 5000);
}

// Runs `act` on the modal window of type T once it is up (polling, so it works whichever event loop is
// running); `act` must close it.
template <typename T>
void WhenModalShows(std::function<void(T*)> act) {
    auto* poll = new QTimer;
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act = std::move(act)] {
        if (auto* modal = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(modal);
        }
    });
    poll->start();
}

// A unit that reports every setting, the OVGR function included.
inline NowValueRecord FullReport() {
    NowValueRecord now;
    now.DetectModeText = "V0のみ";
    now.V0LevelText = "10% (381.0V)";
    now.I0LevelText = "600mA";
    now.PhaseRangeText = "-45°～135°";
    now.DetectTimeText = "0.50秒";
    now.ConfirmCount = 10;
    now.CyclicDispText = "する";
    now.LogOverwriteText = "しない";
    now.AlarmOut1Text = "OVGR";
    now.AlarmOut2Text = "微地絡";
    now.OvgrModeText = "機能あり";
    return now;
}

// What the unit reports after taking the worked example's settings.
inline NowValueRecord WorkedExampleReport() {
    NowValueRecord now = FullReport();
    now.DetectModeText = "V0 & I0";
    now.V0LevelText = "2% (76.2V)";
    now.I0LevelText = "100mA";
    now.PhaseRangeText = "-60°～120°";
    now.DetectTimeText = "0.04秒";
    now.ConfirmCount = 3;
    now.CyclicDispText = "しない";
    now.LogOverwriteText = "する";
    now.AlarmOut1Text = "微地絡";
    now.AlarmOut2Text = "ＧＲ自己診断異常";
    return now;
}

}  // namespace tessarin::test
