// Shared pieces of the window tests: a fake serial line (listing and port) and helpers for modal windows.
#pragma once

#include <QApplication>
#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "link/comm_port.h"
#include "link/port_listing.h"
#include "ui/frm_mid_main.h"

namespace tessarin::test {

// What the fake listing and the fake port share, and what a test looks at or changes.
struct FakeLine {
    std::map<std::string, std::string> listed;  // "\Device\VCP<i>" -> "COM<n>"
    bool openable = true;
    int openCount = 0;
    int closeCount = 0;
    bool open = false;
    std::vector<std::vector<std::uint8_t>> writes;
};

// Fake serial-port listing. Can: list the values in FakeLine::listed (changeable at any time) and report
// the NT platform. Cannot: anything else of the registry (other keys read as "").
class FakeListing final : public PortListing {
  public:
    explicit FakeListing(std::shared_ptr<FakeLine> line) : m_line(std::move(line)) {}
    std::string ReadRegText(std::uint32_t /*root*/, const std::string& key, const std::string& valueName) override {
        if (key != kSerialCommKey) {
            return {};
        }
        const auto it = m_line->listed.find(valueName);
        return it == m_line->listed.end() ? std::string() : it->second;
    }
    std::int16_t QueryOsPlatform() override { return kPlatformNt; }

  private:
    std::shared_ptr<FakeLine> m_line;
};

// Fake port. Can: open (when FakeLine::openable), close, count both, record writes. Cannot: deliver bytes
// (nothing ever arrives) or fail a write.
class FakePort final : public CommPort {
  public:
    explicit FakePort(std::shared_ptr<FakeLine> line) : m_line(std::move(line)) {}
    std::int32_t PortNumber() const override { return m_number; }
    void SetPortNumber(std::int32_t value) override { m_number = value; }
    void SetBaudRate(std::int32_t /*value*/) override {}
    void SetDataBits(std::uint8_t /*value*/) override {}
    void SetParity(std::uint8_t /*value*/) override {}
    void SetStopBits(std::uint8_t /*value*/) override {}
    void SetHandshaking(std::int32_t /*value*/) override {}
    void SetTimeOut(std::int16_t /*value*/) override {}
    std::int32_t OpenPort() override {
        ++m_line->openCount;
        if (!m_line->openable) {
            m_number = 0;
            return 0;
        }
        m_line->open = true;
        return m_number;
    }
    std::int32_t ClosePort() override {
        ++m_line->closeCount;
        const bool wasOpen = m_line->open;
        m_line->open = false;
        return wasOpen ? 1 : 0;
    }
    std::int32_t WriteBinary(std::span<const std::uint8_t> bytes) override {
        m_line->writes.emplace_back(bytes.begin(), bytes.end());
        return -1;
    }
    std::int32_t ReadBufferDataSize() override { return 0; }
    std::vector<std::uint8_t> ReadBinary() override { return {0}; }
    std::int32_t ClearWriteBuffer() override { return 0; }
    std::int32_t ClearReadBuffer() override { return 0; }

  private:
    std::shared_ptr<FakeLine> m_line;
    std::int32_t m_number = 0;
};

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

// A main window on a fake line; `quits` counts the calls of its quit function.
inline std::unique_ptr<frmMidMain> MakeFakeWindow(const std::shared_ptr<FakeLine>& line, int* quits = nullptr,
                                                  const QString& pictures = TestPictureFolder()) {
    auto window = std::make_unique<frmMidMain>(
        std::make_unique<FakeListing>(line), [line] { return std::make_unique<FakePort>(line); }, pictures);
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

}  // namespace tessarin::test
