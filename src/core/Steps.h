// The step routines the sequencer calls, one per keyword; each lives with its subsystem.
#pragma once

namespace korvane {

class Session;

void ReadMaster(Session& s);         // "master read"   core/ReadMaster.cpp
void StepCalcMd5(Session& s);        // "calc MD5"      digest/DigestSteps.cpp
void StepReadTest(Session& s);       // "rd test"       digest/DigestSteps.cpp
void StepCompareMd5(Session& s);     // "compare MD5"   verify/CompareMd5.cpp
void StepCompareBinary(Session& s);  // "compare bin."  verify/CompareBinary.cpp
void StepSaveData(Session& s);       // "save data"     files/DigestList.cpp
void StepSaveMd5sum(Session& s);     // "save md5sum"   files/Md5sumList.cpp
void StepLoadData(Session& s);       // "load data"     files/DigestList.cpp
void StepSummary(Session& s);        // "kekka"         verify/Summary.cpp
void StepExportCsv(Session& s);      // "csv"           files/TableExport.cpp

}  // namespace korvane
