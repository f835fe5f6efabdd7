// The camera families that are polled over a CGI: one class per model family
// and detection kind, each a request path and port, a few construction
// settings and a trigger test. The tests are pure functions (cgirule::<Class>)
// of the answer and the detector's small held state, so that tables and
// fuzzers reach them without a thread; each class's IsTrig calls its own.
#ifndef CAMDET_CGIVENDORDETECTOR_H
#define CAMDET_CGIVENDORDETECTOR_H

#include <string>

#include "camdet/transport/cgiquerydetector.h"

// What a trigger test may know besides the answer.
struct CgiRuleState {
    int diCnt = 1;            // the camera's input count
    bool blGroup11 = false;   // MessoaSDK05: the camera API specifies "GROUP11"
    std::string diTrigValue;  // LevelOneGr5DI: what an input in alarm reads
};

// A trigger test: true when the answer reports the alarm; value is the level
// (written by every test except ItxDI and BoschDI, which leave it alone).
typedef bool (*CgiTrigRule)(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);

struct CgiRuleEntry {
    const char* cls;  // class name
    int kind;         // DET_TYPE_MD or DET_TYPE_DI
    CgiTrigRule rule;
};

// Every polling vendor's test, motion classes first, each in catalogue order.
const CgiRuleEntry* GetCgiRuleTable(int& rows);
// The entry of one class, or null.
const CgiRuleEntry* FindCgiRule(const std::string& cls);

namespace cgirule {
// Motion tests (port is ignored).
bool YcamV2MD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ArecontMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool SanyoMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaProMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaSDK05MD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool Messoa03MD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ComproMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool HuntMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BrickcomMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool StorageMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ZavioV3MD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool CanonMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool FoscamMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool FoscamV2MD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BaslerMp4MD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ItxMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool RayliosMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool RayliosV2MD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool HiSharpMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BoschMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BewardMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool SiemensMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ShanyMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool NexcomMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool GrandStreamMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool TruenMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
// Input tests for 0-based input port.
bool AirliveDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool LevelOneGr5DI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool LevelOneGr1DI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool LevelOneGr4DICgiQuery(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool YcamV2DI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool JvcDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool EdimaxVPDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ActiDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ArecontDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool SanyoDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool PixordDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaProDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaSDK05DI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaA02DI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool Messoa03DI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ComproDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool HuntDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BrickcomDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool StorageDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ZavioDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool CanonDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool FoscamDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool FoscamV2DI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BaslerMp4DI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ItxDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ImegeDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool StarDotDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BoschDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BewardDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool SiemensDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ShanyDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool NexcomDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool TruenDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
}  // namespace cgirule

// ---------------------------------------------------------------- motion

class YcamV2MD : public CgiQueryDetector {
public:
    explicit YcamV2MD(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(char* buf, unsigned int len, int& value) override;
};

class ArecontMD : public CgiQueryDetector {
public:
    explicit ArecontMD(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(char* buf, unsigned int len, int& value) override;
};

class SanyoMD : public CgiQueryDetector {
public:
    explicit SanyoMD(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(char* buf, unsigned int len, int& value) override;
};

class MessoaMD : public CgiQueryDetector {
public:
    explicit MessoaMD(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(char* buf, unsigned int len, int& value) override;
};

class MessoaProMD : public CgiQueryDetector {
public:
    explicit MessoaProMD(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(char* buf, unsigned int len, int& value) override;
};

class MessoaSDK05MD : public CgiQueryDetector {
public:
    MessoaSDK05MD(DET_BASE_ATTR attr, bool blGroup11);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(char* buf, unsigned int len, int& value) override;

private:
    bool m_blGroup11;
};

class Messoa03MD : public CgiQueryDetector {
public:
    explicit Messoa03MD(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(char* buf, unsigned int len, int& value) override;
};

class ComproMD : public CgiQueryDetector {
public:
    explicit ComproMD(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(char* buf, unsigned int len, int& value) override;
};

class HuntMD : public CgiQueryDetector {
public:
    explicit HuntMD(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(char* buf, unsigned int len, int& value) override;
};

class BrickcomMD : public CgiQueryDetector {
public:
    explicit BrickcomMD(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(char* buf, unsigned int len, int& value) override;
};

class StorageMD : public CgiQueryDetector {
public:
    explicit StorageMD(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(char* buf, unsigned int len, int& value) override;
};

class ZavioV3MD : public CgiQueryDetector {
public:
    explicit ZavioV3MD(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(char* buf, unsigned int len, int& value) override;
};

class CanonMD : public CgiQueryDetector {
public:
    explicit CanonMD(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(char* buf, unsigned int len, int& value) override;
};

class FoscamMD : public CgiQueryDetector {
public:
    explicit FoscamMD(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(char* buf, unsigned int len, int& value) override;
};

class FoscamV2MD : public CgiQueryDetector {
public:
    explicit FoscamV2MD(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(char* buf, unsigned int len, int& value) override;
};

class BaslerMp4MD : public CgiQueryDetector {
public:
    explicit BaslerMp4MD(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(char* buf, unsigned int len, int& value) override;
};

class ItxMD : public CgiQueryDetector {
public:
    explicit ItxMD(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(char* buf, unsigned int len, int& value) override;
};

class RayliosMD : public CgiQueryDetector {
public:
    explicit RayliosMD(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(char* buf, unsigned int len, int& value) override;
};

class RayliosV2MD : public CgiQueryDetector {
public:
    explicit RayliosV2MD(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(char* buf, unsigned int len, int& value) override;
};

class HiSharpMD : public CgiQueryDetector {
public:
    explicit HiSharpMD(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(char* buf, unsigned int len, int& value) override;
};

class BoschMD : public CgiQueryDetector {
public:
    explicit BoschMD(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(char* buf, unsigned int len, int& value) override;
};

class BewardMD : public CgiQueryDetector {
public:
    explicit BewardMD(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(char* buf, unsigned int len, int& value) override;
};

class SiemensMD : public CgiQueryDetector {
public:
    explicit SiemensMD(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(char* buf, unsigned int len, int& value) override;
};

class ShanyMD : public CgiQueryDetector {
public:
    explicit ShanyMD(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(char* buf, unsigned int len, int& value) override;
};

class NexcomMD : public CgiQueryDetector {
public:
    explicit NexcomMD(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(char* buf, unsigned int len, int& value) override;
};

class GrandStreamMD : public CgiQueryDetector {
public:
    explicit GrandStreamMD(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(char* buf, unsigned int len, int& value) override;
};

class TruenMD : public CgiQueryDetector {
public:
    explicit TruenMD(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(char* buf, unsigned int len, int& value) override;
};

// ---------------------------------------------------------------- input

class AirliveDI : public CgiQueryDetector {
public:
    explicit AirliveDI(DET_BASE_ATTR attr);
    int DetMain() override;
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class LevelOneGr5DI : public CgiQueryDetector {
public:
    explicit LevelOneGr5DI(DET_BASE_ATTR attr);
    int GetDiTrigValue() override;
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class LevelOneGr1DI : public CgiQueryDetector {
public:
    explicit LevelOneGr1DI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class LevelOneGr4DICgiQuery : public CgiQueryDetector {
public:
    explicit LevelOneGr4DICgiQuery(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class YcamV2DI : public CgiQueryDetector {
public:
    explicit YcamV2DI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class JvcDI : public CgiQueryDetector {
public:
    explicit JvcDI(DET_BASE_ATTR attr);
    int DetMain() override;
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class EdimaxVPDI : public CgiQueryDetector {
public:
    explicit EdimaxVPDI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class ActiDI : public CgiQueryDetector {
public:
    explicit ActiDI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class ArecontDI : public CgiQueryDetector {
public:
    explicit ArecontDI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class SanyoDI : public CgiQueryDetector {
public:
    explicit SanyoDI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class PixordDI : public CgiQueryDetector {
public:
    explicit PixordDI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class MessoaDI : public CgiQueryDetector {
public:
    explicit MessoaDI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class MessoaProDI : public CgiQueryDetector {
public:
    explicit MessoaProDI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class MessoaSDK05DI : public CgiQueryDetector {
public:
    MessoaSDK05DI(DET_BASE_ATTR attr, bool blGroup11);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;

private:
    bool m_blGroup11;
};

class MessoaA02DI : public CgiQueryDetector {
public:
    explicit MessoaA02DI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class Messoa03DI : public CgiQueryDetector {
public:
    explicit Messoa03DI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class ComproDI : public CgiQueryDetector {
public:
    explicit ComproDI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class HuntDI : public CgiQueryDetector {
public:
    explicit HuntDI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class BrickcomDI : public CgiQueryDetector {
public:
    explicit BrickcomDI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class StorageDI : public CgiQueryDetector {
public:
    explicit StorageDI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class ZavioDI : public CgiQueryDetector {
public:
    explicit ZavioDI(DET_BASE_ATTR attr);
    int DetMain() override;
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class CanonDI : public CgiQueryDetector {
public:
    explicit CanonDI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class FoscamDI : public CgiQueryDetector {
public:
    explicit FoscamDI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class FoscamV2DI : public CgiQueryDetector {
public:
    explicit FoscamV2DI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class BaslerMp4DI : public CgiQueryDetector {
public:
    explicit BaslerMp4DI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class ItxDI : public CgiQueryDetector {
public:
    explicit ItxDI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class ImegeDI : public CgiQueryDetector {
public:
    explicit ImegeDI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class StarDotDI : public CgiQueryDetector {
public:
    explicit StarDotDI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class BoschDI : public CgiQueryDetector {
public:
    explicit BoschDI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class BewardDI : public CgiQueryDetector {
public:
    explicit BewardDI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class SiemensDI : public CgiQueryDetector {
public:
    explicit SiemensDI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class ShanyDI : public CgiQueryDetector {
public:
    explicit ShanyDI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class NexcomDI : public CgiQueryDetector {
public:
    explicit NexcomDI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

class TruenDI : public CgiQueryDetector {
public:
    explicit TruenDI(DET_BASE_ATTR attr);
    int GetPathPort(std::string& path, int& port) override;
    using CgiQueryDetector::IsTrig;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;
};

#endif  // CAMDET_CGIVENDORDETECTOR_H
