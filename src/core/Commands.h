// The menu commands and the dispatcher that runs their steps.
#pragma once

namespace korvane {

class Session;

// How MD5計算 saves its digest list: the program's own four lines per file, or md5sum's format
// for tools that read that one.
enum class ListFormat { Own, Md5sum };

// Runs the session's step queue from the first entry to the last (see RunSteps.cpp).
void RunSteps(Session& s);

// Menu handlers. A run command while another run is active is refused with a beep; an error
// that ends a run is shown in a message box and leaves the session usable.
void N11Click(Session& s);     // 比較
void CRC321Click(Session& s);  // MD5計算, saving the program's own list
void CRC322Click(Session& s);  // MD5読込
void N2Click(Session& s);      // リードエラーテスト
void CSV1Click(Session& s);    // CSV出力
void N9Click(Session& s);      // 中断: sets AbortRequested while a run is active

// MD5計算 saving the list in `format`.
void CalcMd5Command(Session& s, ListFormat format);

}  // namespace korvane
