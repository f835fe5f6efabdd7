// Bosch cameras.
//
// Wire format: polled over RCP in XML,
// "/rcp.xml?command=0x01c3&type=F_FLAG&direction=READ&num=1" for motion and
// command 0x01c0 for the input; the answer's "<result>...<dec>1</dec>" is the
// flag (white space inside ignored).
#include "camdet/transport/cgivendordetector.h"

CGI_CLASS(BoschMD,
          CgiMotion("/rcp.xml?command=0x01c3&type=F_FLAG&direction=READ&num=1", cgirule::BoschMotion).Every(500));
CGI_CLASS(BoschDI,
          CgiInput("/rcp.xml?command=0x01c0&type=F_FLAG&direction=READ&num=1", cgirule::BoschInput).Every(500));
