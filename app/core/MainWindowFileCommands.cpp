// SPDX-License-Identifier: MIT
#include "LogoMath.h"
#include "MainWindowTexts.h"
#include "app/core/AppServices.h"
#include "app/core/LogoControl.h"
#include "app/core/MainWindowLogic.h"
#include "app/core/SystemServices.h"
#include "modNVUpload.h"

namespace tessaline {

void MainWindowLogic::cmdSearch_Click() {
    if (Busy() || !mobjFiles) {
        return;
    }
    if (mobjFiles->xCount() >= kMaxLogoFiles) {
        m_services.ShowMessage(kMsgListFull, gstrTitle, MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
    AddFile();
}

void MainWindowLogic::AddFile() {
    const FileChoice choice = m_services.OpenFileDialog(m_system.ProgramFolder(), kLogoFilter);
    if (choice.fileName.empty()) {
        return;
    }
    if (!StorableLogoPath(choice.fileName)) {
        // The settings file and the NVImage string separate paths with "|"
        // and lines; such a path would split into pieces there.
        m_services.ShowMessage("This file cannot be listed: its name holds \"|\", a line break "
                               "or a NUL character.\r\nRename the file or its folder and add it "
                               "again.",
                               gstrTitle, MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
    if (m_control == nullptr) {
        return;
    }
    std::optional<BitmapInfoReply> info;
    {
        BusyScope busy(m_busy);
        info = m_control->BitmapInfo(choice.fileName);
    }
    if (!info || info->result < 0) {
        m_services.ShowMessage("This file cannot be read as a logo bitmap (.bmp).\r\n" +
                                   choice.fileName,
                               gstrTitle, MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
    if (!LogoInRange(info->height, info->width)) {
        m_services.ShowMessage(kMsgOutOfRange, gstrTitle, MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
    mobjFiles->xAdd(choice.fileName, choice.fileTitle, NvSize(info->height, info->width),
                    info->height, info->width);
    RefreshFileList();
}

void MainWindowLogic::cmdRemove_Click() {
    if (Busy() || !mobjFiles || m_view.ItemCount() == 0) {
        return;
    }
    const int32_t selected = m_view.SelectedIndex();
    if (selected == 0) {
        return; // rows but no selection: nothing names the entry to remove
    }
    if (m_services.ShowMessage(kMsgRemove, gstrTitle, MsgButtons::YesNo, MsgIcon::None) ==
        MsgAnswer::No) {
        return;
    }
    mobjFiles->xRemove(m_view.SelectedIndex());
    RefreshFileList();
}

void MainWindowLogic::cmdReset_Click() {
    if (Busy() || !mobjFiles) {
        return;
    }
    mobjFiles->xReset();
    RefreshFileList();
}

} // namespace tessaline
