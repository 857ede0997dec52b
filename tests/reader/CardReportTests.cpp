// Card report decoding, check value and card number, against the reader's format.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "reader/CardReport.h"
#include "tools/card_encoder/CardReportEncoder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The worked example of the reader's documentation: card 2587647617, shift 3.
const Bytes kWorkedExample = {0x00, 0x01, 0x5A, 0x5C, 0x00, 0x0D, 0xFF, 0x0B, 0x12,
                              0xF4, 0x80, 0x55, 0x3C, 0xA4, 0x01, 0xAA, 0x03};

std::int32_t Decode(const Bytes& report, std::uint8_t (&record)[kCardRecordBufferSize]) {
  return DecodeCardReport(report.data() + 1, static_cast<std::int32_t>(report.size() - 1), record);
}

CardReportResult Read(const Bytes& report) {
  return ReadCardReport(report.data(), static_cast<std::uint32_t>(report.size()));
}

std::uint8_t RotateRight8(std::uint8_t v, unsigned k) {
  k %= 8;
  return k == 0 ? v : static_cast<std::uint8_t>(((v >> k) | (v << (8 - k))) & 0xFF);
}

// Reference decoding written from the rotation reading of the rule: the B bytes as one
// circular bit string rotated right by k, XOR each A rotated right by k within its byte.
// Remainders above 8 decode to zeros.
Bytes ReferenceDecode(const Bytes& report) {
  const unsigned k = report[16] % 32u;
  Bytes out(7, 0);
  if (k > 8) return out;
  for (int i = 0; i < 7; ++i) {
    const unsigned a = report[2 + 2 * i];
    const unsigned b = report[3 + 2 * i];
    const unsigned previousB = report[3 + 2 * ((i + 6) % 7)];
    const std::uint8_t r = static_cast<std::uint8_t>(((previousB << 8) | b) >> k);
    out[i] = static_cast<std::uint8_t>(r ^ RotateRight8(static_cast<std::uint8_t>(a), k));
  }
  return out;
}

Bytes RandomReport(std::mt19937& rng, std::uint8_t shift) {
  Bytes report(17);
  for (auto& b : report) b = static_cast<std::uint8_t>(rng());
  report[1] = 0x01;
  report[16] = shift;
  return report;
}

TEST(CardReport, WorkedExampleDecodesToItsRecordAndCardNumber) {
  std::uint8_t record[kCardRecordBufferSize];
  ASSERT_EQ(Decode(kWorkedExample, record), 7);
  const Bytes expected = {0x00, 0x81, 0x5E, 0x3C, 0x9A, 0x33, 0xB5};
  EXPECT_EQ(Bytes(record, record + 7), expected);
  EXPECT_EQ(ComputeCheckValue(5, record), 0xB533);

  const CardReportResult result = Read(kWorkedExample);
  EXPECT_EQ(result.status, CardReportStatus::Accepted);
  EXPECT_EQ(result.cardNumber, 2587647617u);
}

TEST(CardReport, CheckValuesOfTheFormat) {
  struct Case {
    Bytes bytes;
    std::uint16_t expected;
  };
  const Case cases[] = {
      {{'a', 'b', 'c'}, 0x5749},
      {{0x00, 0x80, 0x00, 0x00, 0x00}, 0xF03D},  // sign extension: plain CRC-16/MODBUS gives 0xC00D
      {{0x00, 0x00, 0x00, 0x00, 0x00}, 0x0024},
      {{0x00, 0x81, 0x5E, 0x3C, 0x9A}, 0xB533},  // plain CRC-16/MODBUS gives 0x85FC
      {{}, 0xFFFF},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ComputeCheckValue(static_cast<std::uint32_t>(c.bytes.size()), c.bytes.data()), c.expected)
        << "over " << c.bytes.size() << " bytes";
  }
}

TEST(CardReport, RejectionsGiveNoCardNumber) {
  Bytes wrongType = kWorkedExample;
  wrongType[1] = 0x02;
  Bytes oddPayload = kWorkedExample;
  oddPayload.push_back(0x03);  // 18 bytes
  Bytes eightPairs = kWorkedExample;
  eightPairs.insert(eightPairs.end() - 1, {0x11, 0x22});  // 19 bytes: decodes to 8
  Bytes brokenCheck = kWorkedExample;
  brokenCheck[12] ^= 0x01;          // one A byte: one decoded byte changes
  Bytes tooManyPairs(1 + 2052, 0);  // 1025 pairs: more than the record buffer holds
  tooManyPairs[1] = 0x01;
  Bytes mostPairs(1 + 2050, 0);  // 1024 pairs: decodes, but not to 7 bytes
  mostPairs[1] = 0x01;

  struct Case {
    const char* name;
    Bytes report;
    CardReportStatus status;
    std::int32_t decoded;
  };
  const Case cases[] = {
      {"type 2", wrongType, CardReportStatus::NotDecoded, 0},
      {"18 bytes", oddPayload, CardReportStatus::NotDecoded, 0},
      {"19 bytes", eightPairs, CardReportStatus::WrongLength, 8},
      {"broken check value", brokenCheck, CardReportStatus::CheckMismatch, 7},
      {"1025 pairs", tooManyPairs, CardReportStatus::NotDecoded, 0},
      {"1024 pairs", mostPairs, CardReportStatus::WrongLength, 1024},
      {"report id only", {0x00}, CardReportStatus::NotDecoded, 0},
      {"payload of 2", {0x00, 0x01, 0x00}, CardReportStatus::NotDecoded, 0},
      {"payload of 4", {0x00, 0x01, 0x00, 0x00, 0x00}, CardReportStatus::WrongLength, 1},
  };
  for (const Case& c : cases) {
    const CardReportResult result = Read(c.report);
    EXPECT_EQ(result.status, c.status) << c.name;
    EXPECT_EQ(result.decodedLength, c.decoded) << c.name;
  }
}

TEST(CardReport, EmptyOrHugeByteCountsAreRejectedWithoutReadingTheBytes) {
  const std::uint8_t oneByte = 0x00;
  // A completed read of 0 bytes: the count less one must not wrap round.
  EXPECT_EQ(ReadCardReport(&oneByte, 0).status, CardReportStatus::NotDecoded);
  EXPECT_EQ(ReadCardReport(nullptr, 17).status, CardReportStatus::NotDecoded);
  // A count that would not fit the decoder's signed length is refused before any read.
  EXPECT_EQ(ReadCardReport(&oneByte, 0x80000002u).status, CardReportStatus::NotDecoded);
  EXPECT_EQ(ReadCardReport(&oneByte, 0xFFFFFFFFu).status, CardReportStatus::NotDecoded);
}

TEST(CardReport, RejectedPayloadWritesNothing) {
  std::uint8_t record[kCardRecordBufferSize];
  std::fill(std::begin(record), std::end(record), 0xEE);
  Bytes wrongType = kWorkedExample;
  wrongType[1] = 0x02;
  EXPECT_EQ(Decode(wrongType, record), 0);
  for (std::uint8_t b : record) ASSERT_EQ(b, 0xEE);
}

TEST(CardReport, ShiftZeroIsAXorBAndShiftEightIsAXorPreviousB) {
  std::mt19937 rng(1);
  for (int round = 0; round < 50; ++round) {
    for (std::uint8_t shift : {std::uint8_t{0}, std::uint8_t{8}}) {
      const Bytes report = RandomReport(rng, shift);
      std::uint8_t record[kCardRecordBufferSize];
      ASSERT_EQ(Decode(report, record), 7);
      for (int i = 0; i < 7; ++i) {
        const std::uint8_t a = report[2 + 2 * i];
        const std::uint8_t b = report[3 + 2 * i];
        const std::uint8_t previousB = report[3 + 2 * ((i + 6) % 7)];  // B(-1) is B6
        const std::uint8_t expected =
            shift == 0 ? static_cast<std::uint8_t>(a ^ b) : static_cast<std::uint8_t>(a ^ previousB);
        EXPECT_EQ(record[i], expected) << "shift " << int(shift) << " byte " << i;
      }
    }
  }
}

TEST(CardReport, EveryShiftByteDecodesAsItsRemainderModulo32) {
  std::mt19937 rng(2);
  for (int shift = 0; shift < 256; ++shift) {
    for (int round = 0; round < 8; ++round) {
      const Bytes report = RandomReport(rng, static_cast<std::uint8_t>(shift));
      std::uint8_t record[kCardRecordBufferSize];
      ASSERT_EQ(Decode(report, record), 7);
      EXPECT_EQ(Bytes(record, record + 7), ReferenceDecode(report)) << "shift " << shift;
    }
  }
}

TEST(CardReport, RemaindersNineToThirtyOneGiveZerosAndFailTheCheck) {
  std::mt19937 rng(3);
  for (int shift : {9, 10, 16, 31, 41, 63, 73, 95, 105, 127, 201, 255}) {
    const Bytes report = RandomReport(rng, static_cast<std::uint8_t>(shift));
    std::uint8_t record[kCardRecordBufferSize];
    ASSERT_EQ(Decode(report, record), 7);
    EXPECT_EQ(Bytes(record, record + 7), Bytes(7, 0)) << "shift " << shift;
    EXPECT_EQ(Read(report).status, CardReportStatus::CheckMismatch) << "shift " << shift;
  }
}

TEST(CardReport, ShiftsThirtyFiveAndSixtySevenDecodeLikeThree) {
  Bytes shifted35 = kWorkedExample;
  shifted35[16] = 35;
  Bytes shifted67 = kWorkedExample;
  shifted67[16] = 67;
  EXPECT_EQ(Read(shifted35).cardNumber, 2587647617u);
  EXPECT_EQ(Read(shifted35).status, CardReportStatus::Accepted);
  EXPECT_EQ(Read(shifted67).cardNumber, 2587647617u);
  EXPECT_EQ(Read(shifted67).status, CardReportStatus::Accepted);
}

TEST(CardReport, EncodedCardsRoundTripOverEveryEncodableShift) {
  std::mt19937 rng(4);
  std::vector<std::uint32_t> numbers = {0u,          1u,          0x80u,       0xFFu,      0x8000u,
                                        2587647617u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu};
  for (int i = 0; i < 200; ++i) numbers.push_back(static_cast<std::uint32_t>(rng()));

  std::vector<int> shifts;
  for (int s = 0; s <= 8; ++s) shifts.push_back(s);
  for (int s = 32; s <= 40; ++s) shifts.push_back(s);
  for (int s : {64, 72, 96, 104, 224, 232}) shifts.push_back(s);

  for (std::uint32_t number : numbers) {
    for (int shift : shifts) {
      const CardReportBytes report =
          EncodeCardNumber(number, static_cast<std::uint8_t>(shift), static_cast<std::uint32_t>(rng()));
      const CardReportResult result = ReadCardReport(report.data(), static_cast<std::uint32_t>(report.size()));
      ASSERT_EQ(result.status, CardReportStatus::Accepted) << number << " shift " << shift;
      ASSERT_EQ(result.cardNumber, number) << "shift " << shift;
    }
  }
}

TEST(CardReport, EncoderReproducesTheWorkedRecordAndVariesItsFiller) {
  const CardRecord record = MakeCardRecord(2587647617u);
  EXPECT_EQ(record, (CardRecord{0x00, 0x81, 0x5E, 0x3C, 0x9A, 0x33, 0xB5}));
  EXPECT_NE(EncodeCardReport(record, 3, 1), EncodeCardReport(record, 3, 2));
  EXPECT_TRUE(IsEncodableShift(40));
  EXPECT_FALSE(IsEncodableShift(41));
}

}  // namespace
