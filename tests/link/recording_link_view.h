// A LinkView for tests. What it can do: record every panel text and picture shown, in order, and tell the
// latest of each panel; Clear() forgets what was recorded.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "link/link_view.h"

namespace tessarin::test {

class RecordingLinkView : public LinkView {
  public:
    struct Shown {
        int panel;
        std::string what;  // text or picture name
        bool operator==(const Shown&) const = default;
    };

    void ShowPanelText(int panel, const std::string& text) override {
        m_texts.push_back({panel, text});
        m_lastText[panel] = text;
    }
    void ShowPanelPicture(int panel, const std::string& pictureName) override {
        m_pictures.push_back({panel, pictureName});
        m_lastPicture[panel] = pictureName;
    }

    const std::vector<Shown>& Texts() const { return m_texts; }
    const std::vector<Shown>& Pictures() const { return m_pictures; }
    std::string LastText(int panel) const {
        const auto it = m_lastText.find(panel);
        return it == m_lastText.end() ? std::string{} : it->second;
    }
    std::string LastPicture(int panel) const {
        const auto it = m_lastPicture.find(panel);
        return it == m_lastPicture.end() ? std::string{} : it->second;
    }
    // Pictures shown on one panel, in order.
    std::vector<std::string> PicturesOn(int panel) const {
        std::vector<std::string> out;
        for (const auto& s : m_pictures) {
            if (s.panel == panel) {
                out.push_back(s.what);
            }
        }
        return out;
    }
    void Clear() {
        m_texts.clear();
        m_pictures.clear();
    }

  private:
    std::vector<Shown> m_texts;
    std::vector<Shown> m_pictures;
    std::map<int, std::string> m_lastText;
    std::map<int, std::string> m_lastPicture;
};

}  // namespace tessarin::test
