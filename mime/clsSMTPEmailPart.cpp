// clsSMTPEmailPart: construction, Clear and the progress of a part (see mime/clsSMTPEmailPart.h).
// The encoded temporary file of an attachment or image is deleted by Clear, so it lives exactly
// as long as the part's encoding, or sooner by ReleaseEncodedFile, for a message that will not
// be sent again.
#include "mime/clsSMTPEmailPart.h"

namespace {

constexpr int32_t kDefaultBufferSize = 128;

}  // namespace

clsSMTPEmailPart::clsSMTPEmailPart()
    : m_pbytBuffer(nullptr),
      m_lngBufferSize(kDefaultBufferSize),
      m_pulstSource(nullptr),
      m_itrSource(0),
      m_ptlstPartHeaders(nullptr),
      m_ptlstHeaderCache(nullptr),
      m_ptlstFooterCache(nullptr),
      m_bolHeaderCached(false),
      m_bolFooterCached(false),
      m_intCacheIndex(0),
      m_pudtFileStream(nullptr),
      m_pudtEncodedStream(nullptr),
      m_pudtEncodeAhead(nullptr),
      m_bolAttachmentEncoded(false),
      m_bolImageEncoded(false),
      m_bolEncodeFailed(false),
      m_ulngEncodedSize(0),
      m_udtEncodedDate{0, 0, 0},
      m_ulngEncodedNode(0),
      m_bolQuotedPrintable(false),
      m_bolFlowed(false),
      m_bolDelSp(false),
      m_bolInTag(false),
      m_intTagType(0),
      m_intLineLength(0),
      m_lngStatusTotal(0),
      m_lngStatusDone(0),
      m_intStatusPercent(0),
      m_intPendingStart(0),
      m_intBlankSearch(-1),
      m_intBlankFound(-1) {
  Clear();
}

clsSMTPEmailPart::~clsSMTPEmailPart() { Clear(); }

void clsSMTPEmailPart::ReleaseEncodedFile() {
  CloseFileStreams();
  RemoveEncodedFile();
  m_bolAttachmentEncoded = false;
  m_bolImageEncoded = false;
  m_bolEncodeFailed = false;
}

void clsSMTPEmailPart::Clear() {
  delete[] m_pbytBuffer;
  m_pbytBuffer = nullptr;
  m_lngBufferSize = kDefaultBufferSize;
  m_ustrError = UniString();
  m_ustrStatus = UniString();
  m_ustrName = UniString();
  delete m_ptlstPartHeaders;
  m_ptlstPartHeaders = nullptr;
  delete m_ptlstHeaderCache;
  m_ptlstHeaderCache = nullptr;
  delete m_ptlstFooterCache;
  m_ptlstFooterCache = nullptr;
  m_bolHeaderCached = false;
  m_bolFooterCached = false;
  m_intCacheIndex = 0;
  ReleaseEncodedFile();
  m_udtFile.Clear();
  m_intStatusPercent = 0;
  m_pulstSource = nullptr;
  m_itrSource = 0;
  ClearPending();
  m_astrCarry = AnsiString();
}
