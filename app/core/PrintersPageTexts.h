// SPDX-License-Identifier: MIT
// The "Printers" tab's texts in English and in Korean (code page 949, as the
// first tab chooses). "&" marks the mnemonic; Korean texts carry theirs in
// brackets, as Korean programs show them.
#pragma once

#include "app/core/PrintersPageView.h"
#include "printer/PaperRolls.h"

#include <array>

namespace tessaline {

struct Words {
    const char* english;
    const char* korean;
};

inline constexpr Words kPrintersTab{"&Printers", "프린터(&P)"};

struct PageCaption {
    PCtl control;
    Words words;
};

inline constexpr std::array<PageCaption, 27> kPageCaptions{{
    {PCtl::fraPrinter, {"Printer", "프린터"}},
    {PCtl::lblPrinterCaption, {"Printe&r :", "프린터(&R) :"}},
    {PCtl::cmdRefresh, {"R&efresh", "새로 고침(&E)"}},
    {PCtl::cmdFindPrinters, {"&Find printers...", "프린터 찾기(&F)..."}},
    {PCtl::fraIdentity, {"What it is", "프린터 정보"}},
    {PCtl::fraHolds, {"What it holds", "저장된 그래픽"}},
    {PCtl::lblKeysCaption, {"Stored &graphics :", "저장된 그래픽(&G) :"}},
    {PCtl::fraLogo, {"A logo to store", "저장할 로고"}},
    {PCtl::lblFileCaption, {"Logo file :", "로고 파일 :"}},
    {PCtl::cmdBrowse, {"&Open logo...", "로고 열기(&O)..."}},
    {PCtl::lblKeyCaption, {"&Key :", "키(&K) :"}},
    {PCtl::lblDitherCaption, {"&Dithering :", "디더링(&D) :"}},
    {PCtl::lblThresholdCaption, {"Thres&hold level :", "임계값(&H) :"}},
    {PCtl::lblBrightnessCaption, {"&Brightness :", "밝기(&B) :"}},
    {PCtl::chkFit, {"F&it to paper", "용지에 맞춤(&I)"}},
    {PCtl::lblPaperWidthCaption, {"Paper &width :", "용지 폭(&W) :"}},
    {PCtl::lblZoomCaption, {"&Zoom :", "확대(&Z) :"}},
    {PCtl::cmdStore, {"&Store", "저장(&S)"}},
    {PCtl::cmdPrintGraphic, {"Pri&nt", "인쇄(&N)"}},
    {PCtl::cmdDeleteGraphic, {"De&lete", "삭제(&L)"}},
    {PCtl::cmdDeleteAll, {"Delete &all", "모두 삭제(&A)"}},
    {PCtl::cmdTestReceipt, {"Print a &test receipt", "테스트 영수증 인쇄(&T)"}},
    {PCtl::chkAutoLogo, {"Print this logo on e&very receipt", "모든 영수증에 이 로고 인쇄(&V)"}},
    {PCtl::lblWork, {"", ""}},
    {PCtl::lblPreviewInfo, {"No logo chosen.", "로고를 선택하지 않았습니다."}},
    {PCtl::lblKeyCheck, {"", ""}},
    {PCtl::txtLogoFile, {"", ""}},
}};

// The labels of "What it is", before their values.
inline constexpr Words kReadyLabel{"State : ", "상태 : "};
inline constexpr Words kMakerLabel{"Maker : ", "제조사 : "};
inline constexpr Words kModelLabel{"Model : ", "모델 : "};
inline constexpr Words kSerialLabel{"Serial number : ", "일련 번호 : "};
inline constexpr Words kFirmwareLabel{"Firmware : ", "펌웨어 : "};
inline constexpr Words kCommandSetLabel{"Command set : ", "명령 체계 : "};
inline constexpr Words kPaperLabel{"Paper width : ", "용지 폭 : "};
inline constexpr Words kMemoryLabel{"NV graphics memory : ", "NV 그래픽 메모리 : "};

inline constexpr Words kDitherChoices[] = {
    {"Threshold", "임계값"},
    {"Stucki (Error Diffusion)", "Stucki (오류 확산)"},
    {"Floyd-Steinberg", "Floyd-Steinberg"},
    {"Atkinson", "Atkinson"},
    {"Bayer", "Bayer"},
};
inline constexpr Words kZoomChoices[] = {{"Fit", "창에 맞춤"}, {"1:1", "1:1"}, {"2:1", "2:1"}};
// The paper widths offered, in dots at 203 dpi, as the rolls are named everywhere.
inline constexpr int32_t kPaperDots[] = {kPaperRolls[0].dots, kPaperRolls[1].dots};
inline constexpr Words kPaperChoices[] = {{"58 mm (384 dots)", "58 mm (384 도트)"},
                                          {"80 mm (576 dots)", "80 mm (576 도트)"}};
static_assert(std::size(kPaperChoices) == std::size(kPaperRolls));

inline constexpr Words kUnknown{"not known", "알 수 없음"};
inline constexpr Words kNotAsked{"not asked yet", "아직 묻지 않음"};
inline constexpr Words kAsking{"Asking %s...", "%s 에 묻는 중..."};
inline constexpr Words kStoring{"Storing %s...", "%s 저장 중..."};
inline constexpr Words kPrinting{"Printing %s...", "%s 인쇄 중..."};
inline constexpr Words kDeleting{"Deleting %s...", "%s 삭제 중..."};
inline constexpr Words kSending{"Sending the test receipt...", "테스트 영수증을 보내는 중..."};
inline constexpr Words kMaking{"Making the dots...", "도트를 만드는 중..."};
inline constexpr Words kCommandSetEscPos{"ESC/POS (NV graphics, GS ( L)",
                                         "ESC/POS (NV 그래픽, GS ( L)"};
inline constexpr Words kCommandSetStarPrnt{"StarPRNT (NV graphics, ESC GS ( L)",
                                           "StarPRNT (NV 그래픽, ESC GS ( L)"};
inline constexpr Words kCommandSetStarLine{"Star Line Mode (logos by number, ESC FS q)",
                                           "Star Line Mode (번호 로고, ESC FS q)"};
inline constexpr Words kStarLineByNumber{
    "A Star Line Mode printer keeps its logos by number, all registered at once: upload them "
    "with tessaline-cli upload --printer ADDRESS.",
    "Star Line Mode 프린터는 로고를 번호로 한꺼번에 등록합니다: tessaline-cli upload --printer "
    "주소 로 업로드해 주십시오."};
inline constexpr Words kStarNoTestReceipt{
    "The test receipt is written in ESC/POS; a Star printer would take it as garbage, so it is "
    "not sent.",
    "테스트 영수증은 ESC/POS 로 쓰여 있어 Star 프린터에는 보내지 않습니다."};
inline constexpr Words kPaperChosen{
    "%d dots, as chosen under \"A logo to store\" (the printer does "
    "not say)",
    "%d 도트, \"저장할 로고\"에서 선택 (프린터가 알려 주지 않음)"};
inline constexpr Words kPaperAnswered{"%d dots, as the printer answers",
                                      "%d 도트, 프린터가 알려 준 값"};
inline constexpr Words kPaperFromProfile{"%d dots, from its model's profile",
                                         "%d 도트, 모델의 프로필 값"};
inline constexpr Words kProfileMatched{" (profile %s)", " (프로필 %s)"};
inline constexpr Words kMemoryFigures{"%s of %s bytes used, %s free",
                                      "%s / %s 바이트 사용, %s 남음"};
inline constexpr Words kNoKeys{"The printer holds no NV graphics.",
                               "프린터에 저장된 NV 그래픽이 없습니다."};
inline constexpr Words kKeysNotAsked{"The keys cannot be asked: %s",
                                     "키 목록을 물을 수 없습니다: %s"};
// The key list's column headings, between a tab.
inline constexpr Words kKeyColumns{"Key\tSize", "키\t크기"};
inline constexpr Words kKeySize{"%s x %s dots, %s bytes", "%s x %s 도트, %s 바이트"};
inline constexpr Words kSizeNotKnown{"size not known: not stored by Tessaline",
                                     "크기 알 수 없음: Tessaline 이 저장하지 않음"};
inline constexpr Words kKeyFine{"Key %s is free.", "키 %s 은(는) 비어 있습니다."};
inline constexpr Words kKeyTaken{"Key %s holds a graphic: Store replaces it.",
                                 "키 %s 에 그래픽이 있습니다: 저장하면 바뀝니다."};
inline constexpr Words kStored{"Stored %s on %s: the printer's key list has it.",
                               "%s 를 %s 에 저장했습니다: 프린터의 키 목록에 있습니다."};
inline constexpr Words kPrinted{"Printed %s.", "%s 를 인쇄했습니다."};
inline constexpr Words kDeleted{"Deleted %s.", "%s 를 삭제했습니다."};
inline constexpr Words kDeletedAll{"Deleted every NV graphic.", "모든 NV 그래픽을 삭제했습니다."};
inline constexpr Words kReceiptSent{"The test receipt was sent, not verified.",
                                    "테스트 영수증을 보냈습니다 (확인되지 않음)."};
inline constexpr Words kDeleteAllConfirm{
    "Delete every NV graphic stored on %s? This cannot be undone.",
    "%s 에 저장된 모든 NV 그래픽을 삭제하시겠습니까? 되돌릴 수 없습니다."};
inline constexpr Words kNotVerified{"Sent, not verified: %s", "보냈지만 확인되지 않음: %s"};
inline constexpr Words kTooWide{
    "The logo is %d dots wide and the paper %d: turn on \"Fit to paper\".",
    "로고 폭이 %d 도트로 용지 폭 %d 보다 넓습니다: \"용지에 맞춤\"을 켜 "
    "주십시오."};
inline constexpr Words kFindTip{
    "Look for receipt printers on this computer's own networks (port 9100) and list them.",
    "이 컴퓨터의 네트워크에서 영수증 프린터를 찾아 (포트 9100) 목록에 넣습니다."};
inline constexpr Words kFindNoNetwork{
    "This computer is on no network of /22 or smaller to look in; type an address instead.",
    "찾아볼 /22 이하의 네트워크가 없습니다; 주소를 직접 입력해 주십시오."};
inline constexpr Words kFinding{"Looking for printers at %s addresses on %s...",
                                "%s 개 주소 (%s) 에서 프린터를 찾는 중..."};
inline constexpr Words kFoundNone{"No printer answered at the %s addresses of %s.",
                                  "%s 개 주소 (%s) 에서 응답한 프린터가 없습니다."};
inline constexpr Words kFoundSome{"Found %s: %s. Choose one in the printer box.",
                                  "%s 대를 찾았습니다: %s. 프린터 상자에서 고르십시오."};
inline constexpr Words kAutoLogoTip{
    "Have the printer print the chosen logo at the top of every receipt by itself (kept in its "
    "NV memory).",
    "고른 로고를 프린터가 모든 영수증 맨 위에 스스로 인쇄하게 합니다 (NV 메모리에 저장)."};
inline constexpr Words kAutoLogoQueue{
    "A queue's printer cannot be asked what it prints by itself; an upload on the first tab "
    "switches the driver's logo commands on.",
    "대기열의 프린터에는 자동 로고를 물어볼 수 없습니다; 첫 번째 탭에서 업로드하면 드라이버의 "
    "로고 명령이 켜집니다."};
inline constexpr Words kDriverLogosOn{"Its driver sends with every job: %s.",
                                      "드라이버가 모든 작업과 함께 보냅니다: %s."};
inline constexpr Words kDriverLogosOff{"Its driver's logo commands are off.",
                                       "드라이버의 로고 명령이 꺼져 있습니다."};
inline constexpr Words kAutoLogoUnanswered{
    "The printer does not answer what it prints by itself (FS ( E 61).",
    "프린터가 자동 로고 질문 (FS ( E 61) 에 응답하지 않습니다."};
inline constexpr Words kAutoLogoNow{"Prints by itself: %s", "스스로 인쇄: %s"};
inline constexpr Words kAutoLogoNone{"nothing", "없음"};
inline constexpr Words kAutoLogoSetting{"Setting what %s prints by itself...",
                                        "%s 의 자동 로고 설정 중..."};
inline constexpr Words kPreviewInfo{"%d x %d dots, %s bytes%s", "%d x %d 도트, %s 바이트%s"};
inline constexpr Words kFittedFrom{"; fitted from %d x %d", "; %d x %d 에서 맞춤"};
inline constexpr Words kChooseKey{"Type a key of two characters (32 to 126), such as A1.",
                                  "A1 처럼 두 글자 키를 입력해 주십시오 (32 ~ 126)."};

inline const char* Say(const Words& words, bool korean) {
    return korean ? words.korean : words.english;
}

} // namespace tessaline
