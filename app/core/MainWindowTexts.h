// SPDX-License-Identifier: MIT
#pragma once

#include "app/core/MainWindowView.h"

#include <array>
#include <cstdint>

namespace tessaline {

inline constexpr int32_t kKoreanCodePage = 949;

// The fifteen queue names under which the thermal printer driver is installed.
inline constexpr std::array<const char*, 15> kThermalQueueNames{
    "THERMAL #1",  "THERMAL #2",  "THERMAL #3",  "THERMAL #4",  "THERMAL #5",
    "THERMAL #6",  "THERMAL #7",  "THERMAL #8",  "THERMAL #9",  "THERMAL #10",
    "THERMAL #11", "THERMAL #12", "THERMAL #13", "THERMAL #14", "THERMAL #15",
};

inline constexpr const char* kTitleEnglish = "Ostrander Version 2.00";
inline constexpr const char* kTitleKorean = "오스트랜더 로고 유틸리티 Version 2.00";

inline constexpr const char* kNoDriverEnglish =
    "Installed Printer Driver not Exist\r\nPlease install Printer Driver !!!";
inline constexpr const char* kNoDriverKorean =
    "설치된 프린터 드라이버가 없습니다.\r\n프린터 드라이버를 먼저 설치해 주십시오. !!!";

inline constexpr const char* kLogoFilter =
    "Logo File (*.bmp)|*.bmp|Images "
    "(*.bmp;*.png;*.jpg;*.jpeg;*.gif)|*.bmp;*.png;*.jpg;*.jpeg;*.gif";
inline constexpr const char* kMsgListFull = "Don't read files any more.";
inline constexpr const char* kMsgOutOfRange = "Out of range bitmap file.";
inline constexpr const char* kMsgRemove = "Do you want to remove all of the selection?";

// The upload, erase and printout messages; the same in every language.
inline constexpr const char* kMsgUploadConfirm =
    "Logo file is written in the NV image area of the device. Continue it?";
inline constexpr const char* kMsgUploadDone =
    "Upload finished, and Writing of bit image completed.\r\nLogo becomes available after the "
    "reset of a device.";
inline constexpr const char* kMsgEraseConfirm = "NV image all Delete. Continue it?";
inline constexpr const char* kEraseConfirmTitle = "Delete";
inline constexpr const char* kMsgEraseDone =
    "Upload finished, and Cleaning of NV Image completed.\r\nLogo becomes available after the "
    "reset of a device.";
inline constexpr const char* kMsgCommunicationError =
    "Communication error. Can not be transmitted.";
// A job the spooler took whole but has not printed by the end of the wait.
inline constexpr const char* kMsgQueuedEnglish =
    "The job waits in the printer's queue: it has not been printed yet.";
inline constexpr const char* kMsgQueuedKorean =
    "작업이 프린터 대기열에서 기다리고 있습니다. 아직 인쇄되지 않았습니다.";
inline constexpr const char* kMsgInputNumber = "Input the number of the NVImage";
inline constexpr const char* kMsgTypeMismatch = "Type mismatch";
inline constexpr const char* kMsgPrintoutDone = "Printout success.";

struct ControlText {
    Ctl control;
    const char* text;
};

// The texts that Korean replaces at start-up, in the order they are set.
inline constexpr std::array<ControlText, 26> kKoreanTexts{{
    {Ctl::cmdSearch, "파일 추가"},
    {Ctl::cmdRemove, "파일 삭제"},
    {Ctl::lblOrigin, "원본 이미지"},
    {Ctl::lblPrint, "인쇄될 이미지"},
    {Ctl::SSTab, "프린터 드라이버를 이용 로고 업로드"},
    {Ctl::optImageMode_0, "기본"},
    {Ctl::optImageMode_1, "오류 확산"},
    {Ctl::Label13, "밝기"},
    {Ctl::Label12, "밝게"},
    {Ctl::Label11, "어둡게"},
    {Ctl::lblHeight, "이미지 높이 : "},
    {Ctl::lblWidth, "이미지 폭 : "},
    {Ctl::Label1_1, "프린터 이름"},
    {Ctl::cmdUpload, "로고 업로드"},
    {Ctl::Cmd_Erase, "로고 삭제"},
    {Ctl::cmdPrint, "저장 로고 인쇄"},
    {Ctl::cmdClose, "종료"},
    {Ctl::Frame1_6, "로고 인쇄"},
    {Ctl::Label1_10, "인쇄 범위 : "},
    {Ctl::Label1_9, "확대 인쇄 기능 : "},
    {Ctl::optRange_0, "전체"},
    {Ctl::optRange_1, "부분 선택"},
    {Ctl::optMode_0, "원본 크기"},
    {Ctl::optMode_1, "가로 두배 확대"},
    {Ctl::optMode_2, "세로 두배 확대"},
    {Ctl::optMode_3, "가로 세로 두배 확대"},
}};

struct ListColumn {
    const char* english;
    const char* korean;
    int32_t widthTwips;
    int32_t koreanWidthTwips;
    bool rightAligned;
};

inline constexpr std::array<ListColumn, 3> kListColumns{{
    {"No", "순서", 450, 550, false},
    {"Name", "이름", 2600, 2600, false},
    {"Size", "크기", 1100, 1100, true},
}};

} // namespace tessaline
