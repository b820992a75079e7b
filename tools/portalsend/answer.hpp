#pragma once

// What the portal's answer to an upload means. Only an answer that says so
// in so many words counts as an acceptance: anything else leaves the invoice
// for the next run.

#include <string>
#include <string_view>

namespace wfdesk::tools {

enum class Outcome {
  kAccepted,        // HTTP 200 with an acknowledgement id and no fault
  kUploadedBefore,  // HTTP 409 naming the acknowledgement of the earlier upload
  kRefused,         // anything else
};

struct Verdict {
  Outcome outcome = Outcome::kRefused;
  std::string acknowledgement;  // one line of printable text when accepted
  std::string invoice_number;   // as the portal named it, control characters escaped
  std::string reason;           // why it was refused: "HTTP 500, ..."
};

// Judges an answer: HTTP 200 is an acceptance only when the answer is
// well-formed XML with an AcknowledgementId, no Fault or Error element and,
// where it gives a State, the state "accepted". HTTP 409 with an
// AcknowledgementId is an earlier acceptance of the same invoice.
Verdict JudgeAnswer(int http_status, std::string_view answer);

}  // namespace wfdesk::tools
