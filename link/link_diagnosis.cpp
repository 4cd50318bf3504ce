#include "link/link_diagnosis.h"

#include <algorithm>

namespace tessarin {

namespace {

bool contains(const std::vector<std::uint32_t>& groups, std::uint32_t gid) {
    return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

std::string portLabel(const LinkObservations& seen) {
    std::string label = seen.portName.empty() ? std::string("ポート") : seen.portName;
    if (!seen.devicePath.empty()) {
        label += "（" + seen.devicePath + "）";
    }
    return label;
}

std::string holdersText(const std::vector<PortHolder>& holders) {
    std::string text;
    for (const PortHolder& holder : holders) {
        if (!text.empty()) {
            text += "、";
        }
        text +=
            (holder.name.empty() ? std::string("不明") : holder.name) + "（PID " + std::to_string(holder.pid) + "）";
    }
    return text;
}

}  // namespace

bool GarbledByRate(const LinkObservations& seen) {
    return seen.recentBadFrames >= 2 && seen.recentBadFrames * 100 >= seen.recentFrames * kGarbledPercent;
}

bool ValuesStale(const LinkObservations& seen) {
    return !seen.linkUp || !seen.answered || seen.unansweredPolls >= kSilentAfterPolls;
}

LinkDiagnosis DiagnoseLink(const LinkObservations& seen) {
    LinkDiagnosis d;
    if (seen.linkUp) {
        if (seen.badFramesSinceValid > 0 || GarbledByRate(seen)) {
            d.reason = LinkReason::Garbled;
        } else if (seen.unansweredPolls >= kSilentAfterPolls) {
            d.reason = LinkReason::NoAnswer;
        } else {
            d.reason = LinkReason::OnLine;
        }
        return d;
    }
    if (!seen.listed) {
        d.reason = LinkReason::NoAdapter;
        return d;
    }
    switch (seen.openFailure) {
        case OpenFailure::NotFound:
            d.reason = LinkReason::DeviceMissing;
            break;
        case OpenFailure::Busy:
            d.reason = LinkReason::InUse;
            break;
        case OpenFailure::PermissionDenied: {
            d.reason = LinkReason::PermissionDenied;
            const bool inProcess = contains(seen.processGroups, seen.deviceGid);
            const bool inDatabase = contains(seen.databaseGroups, seen.deviceGid);
            d.groupAddedSinceLogin = seen.groupMayOpen && !inProcess && inDatabase;
            // Already a member, or a device its group may not open: joining the group would not help.
            if (seen.groupMayOpen && !inProcess && !inDatabase && !seen.deviceGroup.empty() && !seen.userName.empty()) {
                d.fixCommand = "sudo usermod -aG " + seen.deviceGroup + " " + seen.userName;
            }
            break;
        }
        case OpenFailure::None:
        case OpenFailure::Other:
            d.reason = LinkReason::OpenFailed;
            break;
    }
    return d;
}

bool IsOnLine(LinkReason reason) {
    return reason == LinkReason::OnLine || reason == LinkReason::NoAnswer || reason == LinkReason::Garbled;
}

std::string ShortExplanation(const LinkDiagnosis& diagnosis, const LinkObservations& seen) {
    switch (diagnosis.reason) {
        case LinkReason::NoAdapter:
            return "本体のUSBアダプタが見つかりません。ケーブルを差し込んでください。";
        case LinkReason::DeviceMissing:
            return portLabel(seen) + "は一覧にありますが、デバイスがありません。アダプタを差し直してください。";
        case LinkReason::PermissionDenied:
            if (diagnosis.groupAddedSinceLogin) {
                return portLabel(seen) + "を開く権限がありません。グループ「" + seen.deviceGroup +
                       "」への追加はログインし直すと有効になります。";
            }
            return portLabel(seen) + "を開く権限がありません。詳しくは「通信診断」を見てください。";
        case LinkReason::InUse:
            if (!seen.holders.empty()) {
                return portLabel(seen) + "は他のプログラムが使用中です：" + holdersText(seen.holders) + "。";
            }
            return portLabel(seen) + "は他のプログラムが使用中です。";
        case LinkReason::OpenFailed:
            return portLabel(seen) + "を開けません。";
        case LinkReason::NoAnswer:
            return "ポートは開いていますが、本体が応答しません（" + std::to_string(seen.unansweredPolls) +
                   "回連続）。電源とケーブルを確認してください。";
        case LinkReason::Garbled:
            if (seen.badFramesSinceValid == 0) {
                return "応答の一部が壊れています（直近" + std::to_string(seen.recentFrames) + "件中" +
                       std::to_string(seen.recentBadFrames) + "件）。ケーブル、通信速度、ノイズを確認してください。";
            }
            return "応答が壊れています（" + std::to_string(seen.badFramesSinceValid) +
                   "件）。ケーブル、通信速度、ノイズを確認してください。";
        case LinkReason::OnLine:
            return "本体と通信しています。";
    }
    return {};
}

std::string FullExplanation(const LinkDiagnosis& diagnosis, const LinkObservations& seen, std::int64_t nowMs) {
    // The window is where the details are: its first sentence does not send the reader there again.
    std::string text = diagnosis.reason == LinkReason::PermissionDenied && !diagnosis.groupAddedSinceLogin
                           ? portLabel(seen) + "を開く権限がありません。"
                           : ShortExplanation(diagnosis, seen);
    switch (diagnosis.reason) {
        case LinkReason::NoAdapter:
            if (!seen.untrustedListPart.empty()) {
                text += "\nポートの一覧の「" + seen.untrustedListPart +
                        "」は、他のユーザーのものか他のユーザーも書き込めるため、読んでいません。";
            }
            break;
        case LinkReason::PermissionDenied:
            text += "\nデバイス：" + (seen.devicePath.empty() ? portLabel(seen) : seen.devicePath);
            if (!seen.deviceGroup.empty()) {
                text += "\n所有グループ：" + seen.deviceGroup;
            }
            if (!seen.userName.empty()) {
                text += "\nユーザー：" + seen.userName;
            }
            if (diagnosis.groupAddedSinceLogin) {
                text +=
                    "\nグループには追加済みですが、このログインではまだ有効ではありません。ログアウトして"
                    "ログインし直してください。";
            } else if (!diagnosis.fixCommand.empty()) {
                text += "\n次のコマンドを実行し、ログアウトしてログインし直してください：\n" + diagnosis.fixCommand;
            } else if (!seen.groupMayOpen) {
                text += "\nこのデバイスは所有者しか開けません。デバイスの権限を管理者に確認してください。";
            } else {
                text += "\nこのユーザーはすでにグループに属しています。デバイスの権限を管理者に確認してください。";
            }
            break;
        case LinkReason::NoAnswer:
            if (nowMs >= seen.unansweredSinceMs) {
                text += "\n応答がない時間：" + std::to_string((nowMs - seen.unansweredSinceMs) / 1000) + "秒";
            }
            break;
        case LinkReason::InUse:
            if (seen.holders.empty()) {
                text += "\n使用中のプログラムは特定できませんでした。";
            }
            break;
        default:
            break;
    }
    return text;
}

}  // namespace tessarin
