// The camera families that are polled over a CGI: one class per model family
// and detection kind, each a request path and port, a few construction
// settings and a trigger test. The tests are pure functions (cgirule::<Class>)
// of the answer and the detector's small held state, so that tables and
// fuzzers reach them without a thread; each class's IsTrig calls its own.
#ifndef CAMDET_CGIVENDORDETECTOR_H
#define CAMDET_CGIVENDORDETECTOR_H

#include <string>

#include "camdet/rules/cgirules.h"
#include "camdet/transport/cgiquerydetector.h"

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
