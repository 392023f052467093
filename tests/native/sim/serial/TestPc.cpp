#include "TestPc.h"

#include <algorithm>
#include <cstring>

CTestPc::CTestPc(std::vector<uint8_t> image, SOptions options) : m_image(std::move(image)), m_options(options) {}

uint32_t CTestPc::Checksum(const uint8_t* data, size_t size) {
  // Its own table, built bit by bit, MSB first: independent of the box's.
  static const struct STable {
    uint32_t entries[256];
    STable() {
      for (uint32_t a = 0; a < 256; ++a) {
        uint32_t crc = a << 24;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        entries[a] = crc;
      }
    }
  } table;
  uint32_t crc = 0;
  for (size_t i = 0; i < size; ++i) crc = (crc << 8) ^ table.entries[(crc >> 24) ^ data[i]];
  return crc;
}

void CTestPc::Receive(const std::vector<uint8_t>& bytes, BoxTime now) {
  for (uint8_t byte : bytes) {
    if (now < m_closedUntil) {
      ++lost;
      continue;
    }
    all.push_back(byte);
    OnByte(byte, now);
  }
}

BoxTime CTestPc::NextTime() const { return m_writes.empty() ? kBoxNever : m_writes.front().first; }

std::vector<uint8_t> CTestPc::TakeWrites(BoxTime now) {
  size_t count = 0;
  while (count < m_writes.size() && m_writes[count].first <= now) ++count;
  std::vector<uint8_t> out(count);
  for (size_t i = 0; i < count; ++i) out[i] = m_writes[i].second;
  m_writes.pop_front(count);
  return out;
}

void CTestPc::Write(const std::vector<uint8_t>& bytes, BoxTime now) {
  for (uint8_t byte : bytes) m_writes.push_back({now + m_options.latency, byte});
}

void CTestPc::OnByte(uint8_t byte, BoxTime now) {
  if (m_errorPending) {
    m_errorPending = false;
    errors.push_back(byte);
    m_state = kWaitSync;
    return;
  }
  if (byte == 0x50 && m_state != kWaitBlockRequest) {
    m_errorPending = true;
    return;
  }
  switch (m_state) {
    case kWaitSync:
      if (byte != 0x22) break;
      ++syncs;
      ++download;
      m_offset = 0;
      m_blocks = m_headers = 0;
      Write({0x22}, now);
      if (m_options.baudCode) Write({m_options.baudCode}, now);
      if (m_options.reopen && m_options.baudCode != 0x01) m_closedUntil = now + 400 * kBoxMs;
      m_state = kWaitReady;
      return;
    case kWaitReady:
      if (byte != 0x05) break;
      if (m_readyIgnored < m_options.ignoreReady) {
        ++m_readyIgnored;
        return;
      }
      Write({0x05}, now);
      m_state = kWaitFunction;
      return;
    case kWaitFunction: {
      if (byte != 0xD0) break;
      int function = download == 1 ? m_options.function : -1;
      if (function < 0) function = m_image.size() > 32 && m_image[31] ? 0x07 : (m_image.size() > 32 && m_image[32] == 1 ? 0x04 : 0x05);
      if (function <= 0xFF) Write({uint8_t(function)}, now);
      m_state = kWaitEcho;
      return;
    }
    case kWaitEcho:
      echoes.push_back(byte);
      if (byte >= 0x04 && byte <= 0x07) m_state = kWaitHeaderRep;
      return;
    case kWaitHeaderRep:
      if (byte != 0x70) break;
      SendHeader(now);
      return;
    case kWaitBlockRequest:
      m_request.push_back(byte);
      if (m_request.size() < 2) return;
      requests.push_back(m_request);
      if (m_request[0] == 0x69)
        SendBlock(m_request[1], now);
      else if (m_request[0] == 0x50)
        errors.push_back(m_request[1]), m_state = kWaitSync;
      else if (m_request[1] == 0x69)
        SendBlock(m_request[0], now);
      m_request.clear();
      return;
  }
  ignored.push_back(byte);
}

void CTestPc::SendHeader(BoxTime now) {
  ++m_headers;
  uint8_t frame[64];
  std::memset(frame, 0, 44);
  if (m_offset < m_image.size()) std::memcpy(frame, &m_image[m_offset], std::min<size_t>(44, m_image.size() - m_offset));
  std::memset(frame + 44, 0xFF, 20);
  m_offset += 44;
  if (m_offset >= m_image.size()) {
    frame[0] = 0;
    Write(std::vector<uint8_t>(frame, frame + 64), now);
    ++completed;
    m_state = kWaitSync;
    return;
  }
  if (Spoil(m_options.badFillerHeader) && m_headers == m_options.badFillerHeader) frame[63] = 0x00;
  std::vector<uint8_t> out(frame, frame + 64);
  if (Spoil(m_options.extraByteHeader) && m_headers == m_options.extraByteHeader) out.push_back(0x33);
  Write(out, now);
  m_offset += 20;
  if (frame[31])
    m_remaining = (int64_t(frame[34]) << 24) | (frame[35] << 16) | (frame[36] << 8) | frame[37];
  else
    m_remaining = frame[32] == 0 ? 14336 : 0;
  m_counter = 1;
  m_state = kWaitBlockRequest;
}

void CTestPc::SendBlock(uint8_t requested, BoxTime now) {
  ++m_blocks;
  uint8_t expected = uint8_t(m_counter % 10);
  size_t n = m_remaining > 0 ? size_t(std::min<int64_t>(m_remaining, 1024)) : 0;
  n = std::min(n, m_offset < m_image.size() ? m_image.size() - m_offset : 0);
  std::memcpy(m_data, m_image.data() + m_offset, n);
  m_offset += n;
  std::vector<uint8_t> frame;
  frame.push_back(0x69);
  frame.push_back(m_remaining > 1024 ? expected : 0xEE);
  if (Spoil(m_options.wrongSequenceBlock) && m_blocks == m_options.wrongSequenceBlock) frame[1] = uint8_t(frame[1] + 1);
  if (Spoil(m_options.wrongPayloadBlock) && m_blocks == m_options.wrongPayloadBlock) m_data[7] ^= 0x5A;
  frame.insert(frame.end(), m_data, m_data + 1024);
  uint32_t crc = Checksum(m_data, 1024);
  if (Spoil(m_options.badCrcBlock) && m_blocks == m_options.badCrcBlock) crc ^= 1;
  for (int shift = 24; shift >= 0; shift -= 8) frame.push_back(uint8_t(crc >> shift));
  sequences.push_back(frame[1]);
  if (Spoil(m_options.shortBlock) && m_blocks == m_options.shortBlock) frame.resize(1000);
  if (Spoil(m_options.extraByteBlock) && m_blocks == m_options.extraByteBlock) frame.push_back(0x44);
  if (!(Spoil(m_options.missingBlock) && m_blocks == m_options.missingBlock)) Write(frame, now);
  if (requested == expected) {
    ++m_counter;
    if (m_remaining <= 1024) m_state = kWaitHeaderRep;
    m_remaining -= 1024;
  } else {
    m_state = kWaitHeaderRep;
  }
}
