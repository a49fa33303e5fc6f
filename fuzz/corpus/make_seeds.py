#!/usr/bin/env python3
# make_seeds.py — writes the seed corpus of every fuzz target, next to this
# file: fuzz/corpus/<target>/<name>. Run it after changing a seed; the
# files it writes are committed, the corpus the fuzzer grows is not.
#
# Every seed is a well-formed message or reply as the modem would send it,
# built field by field here (with this script's own FCS, not the tool's), so
# the fuzzer starts from inputs that reach deep into each parser.
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

COMMAND_MSG = 0x00000003
OPEN_DONE = 0x80000001
CLOSE_DONE = 0x80000002
COMMAND_DONE = 0x80000003
FUNCTION_ERROR = 0x80000004
INDICATE_STATUS = 0x80000007

BASIC_CONNECT = "a289cc33-bcbb-8b4f-b6b0-133ec2aae6df"
QMBE = "2d0c12c9-0e6a-495a-915c-8d174fe5d63c"
ATDS = "6427015f-579d-48f5-8c54-f43ed1e76f83"
CONTEXT_INTERNET = "7e5e2a7e-4e6f-7272-736b-656e7e5e2a7e"

NEXT = b"<NEXT>"  # fuzz/fake_modem.h: separates the replies of one script


def u32(*values):
    return b"".join(struct.pack("<I", v & 0xFFFFFFFF) for v in values)


def u16(*values):
    return b"".join(struct.pack("<H", v & 0xFFFF) for v in values)


def uuid(text):
    return bytes.fromhex(text.replace("-", ""))  # stored in text order


def utf16(text):
    return text.encode("utf-16-le")


def message(mtype, tid, body):
    return u32(mtype, 12 + len(body), tid) + body


def command_done(tid, service, cid, status, info, claimed=None):
    body = u32(1, 0) + uuid(service) + u32(cid, status, len(info) if claimed is None else claimed)
    return message(COMMAND_DONE, tid, body + info)


def command(tid, service, cid, command_type, info):
    body = u32(1, 0) + uuid(service) + u32(cid, command_type, len(info)) + info
    return message(COMMAND_MSG, tid, body)


def indication(service, cid, info):
    return message(INDICATE_STATUS, 0, u32(1, 0) + uuid(service) + u32(cid, len(info)) + info)


def strings_after(fixed, texts):
    """(offset, size) pairs for `texts` laid out after `fixed` bytes of
    fixed fields, each padded to 4 bytes, and the bytes themselves."""
    pairs, data = [], b""
    for t in texts:
        raw = utf16(t)
        pairs.append((fixed + len(data), len(raw)))
        data += raw + b"\0" * (-len(raw) % 4)
    return pairs, data


# --- basic-connect information buffers -------------------------------------

def subscriber_ready():
    # ReadyState, SubscriberId (off, size), SimIccId (off, size), ReadyInfo,
    # ElementCount 2, two number pairs, then the strings.
    fixed = 28 + 2 * 8
    (sub, icc, n1, n2), data = strings_after(
        fixed, ["262011234567890", "89490200001234567890", "+491701234567", "+491709876543"])
    return u32(1, *sub, *icc, 0, 2, *n1, *n2) + data


def register_state():
    # NwError, RegisterState (3 home), RegisterMode (1 automatic), then the
    # rest of the layout the dump does not read.
    return u32(0, 3, 1, 0x20, 0) + u32(0, 0, 0, 0, 0, 0, 0, 0)


def packet_service():
    # NwError, PacketServiceState (2 attached), HighestAvailableDataClass
    # (0x20 LTE), UplinkSpeed and DownlinkSpeed (u64).
    return u32(0, 2, 0x20) + struct.pack("<QQ", 50_000_000, 0x1_8000_0000)


def signal_state():
    return u32(20, 99, 5, 2, 0xFFFFFFFF)


def connect():
    # SessionId, ActivationState (1 activated), VoiceCallState, IPType (3
    # IPv4v6), ContextType, NwError.
    return u32(0, 1, 0, 3) + uuid(CONTEXT_INTERNET) + u32(0)


def ip_configuration():
    # 60 bytes of header words, then the IPv4 address element, gateway, two
    # DNS servers, the IPv6 element, gateway and two DNS servers.
    v4_addr = 60
    v4_gw = v4_addr + 8
    v4_dns = v4_gw + 4
    v6_addr = v4_dns + 8
    v6_gw = v6_addr + 20
    v6_dns = v6_gw + 16
    header = u32(0, 7, 7, 1, v4_addr, 1, v6_addr, v4_gw, v6_gw, 2, v4_dns, 2, v6_dns, 1500, 1280)
    body = (u32(24) + bytes([10, 64, 7, 2]) + bytes([10, 64, 7, 1]) + bytes([8, 8, 8, 8, 1, 1, 1, 1])
            + u32(64) + bytes.fromhex("2a0100e0ff0a7e5e7d7e000000000001")
            + bytes.fromhex("fe800000000000000000000000000001")
            + bytes.fromhex("20014860486000000000000000008888")
            + bytes.fromhex("20014860486000000000000000008844"))
    return header + body


# --- DIAG frames -------------------------------------------------------------

def fcs16(data):
    reg = 0xFFFF
    for b in data:
        reg ^= b
        for _ in range(8):
            reg = (reg >> 1) ^ 0x8408 if reg & 1 else reg >> 1
    return ~reg & 0xFFFF


def frame(raw):
    packet = raw + u16(fcs16(raw))
    out = bytearray()
    for b in packet:
        if b in (0x7E, 0x7D):
            out += bytes([0x7D, b ^ 0x20])
        else:
            out.append(b)
    return bytes(out) + b"\x7e"


WRITE_SIGNATURE = bytes.fromhex("4b0b2400780200000e000200fdff")
READ_HEAD = bytes.fromhex("4b0b2400770200000e000200fdff")


def read_reply(data, remaining):
    return READ_HEAD + u16(len(data), remaining, 0) + data


def fcs_with_flag_bytes():
    """A short raw packet whose FCS holds a byte that must be escaped."""
    for i in range(1 << 16):
        raw = b"\x4b\x0b" + u16(i)
        f = fcs16(raw)
        if (f & 0xFF) in (0x7E, 0x7D) or (f >> 8) in (0x7E, 0x7D):
            return raw
    raise SystemExit("no such packet")


# --- fake modem replies (fuzz/fake_modem.h) ------------------------------------

def as_message(msg):       # mode 0: the whole message as received
    return b"\x00" + msg


def done(status, info, delta=0):  # mode 1: COMMAND_DONE with Status and length delta
    return b"\x01" + bytes([status]) + u32(delta) + info


def failure(which):        # mode 2: -19, -1 or 110
    return b"\x02" + bytes([which])


def ok(info):              # mode 3: COMMAND_DONE, Status 0, true length
    return b"\x03" + info


def caps_info(device_id, firmware, hardware):
    fixed = 64
    (dev, fw, hw), data = strings_after(fixed, [device_id, firmware, hardware])
    # DeviceType, CellularClass, VoiceClass, SimClass, DataClass, SmsCaps,
    # ControlCaps, MaxSessions, CustomDataClass (empty), then the strings.
    return u32(1, 1, 1, 2, 0x3C, 3, 1, 8, 0, 0, *dev, *fw, *hw) + data


def seeds():
    bc, qmbe, atds = BASIC_CONNECT, QMBE, ATDS
    reader = {
        # byte 0: bit 0 stream, bits 1..7 the read size (fuzz_reader.cpp)
        "done_register_state": b"\x00" + command_done(5, bc, 9, 0, register_state()),
        "done_subscriber_ready": b"\x00" + command_done(6, bc, 2, 0, subscriber_ready()),
        "done_packet_service": b"\x00" + command_done(7, bc, 10, 0, packet_service()),
        "done_connect": b"\x00" + command_done(8, bc, 12, 0, connect()),
        "done_ip_configuration": b"\x00" + command_done(9, bc, 15, 0, ip_configuration()),
        "done_failure_status": b"\x00" + command_done(10, qmbe, 22, 2, b""),
        "ind_subscriber_ready": b"\x00" + indication(bc, 2, subscriber_ready()),
        "ind_register_state": b"\x00" + indication(bc, 9, register_state()),
        "ind_packet_service": b"\x00" + indication(bc, 10, packet_service()),
        "ind_signal_state": b"\x00" + indication(bc, 11, signal_state()),
        "ind_connect": b"\x00" + indication(bc, 12, connect()),
        "ind_ip_configuration": b"\x00" + indication(bc, 15, ip_configuration()),
        "function_error": b"\x00" + message(FUNCTION_ERROR, 11, u32(6)),
        "open_close_done": b"\x00" + message(OPEN_DONE, 1, u32(0)) + message(CLOSE_DONE, 2, u32(0)),
        "command_connect_set": b"\x00" + command(12, bc, 12, 1, u32(0, 1) + b"\0" * 52),
        "command_at": b"\x00" + command(13, atds, 8, 1, u32(0) + b"ATI"),
        # a response and an indication in one stream, cut into reads of 5 bytes
        "stream_two_cut_5": bytes([1 | 5 << 1])
        + command_done(14, qmbe, 21, 0, u32(1)) + indication(bc, 11, signal_state()),
        # a stream read whole, with a message too long to be held in between
        "stream_oversize_skipped": b"\x01" + message(INDICATE_STATUS, 0, b"\0" * 4188)
        + command_done(15, bc, 9, 0, register_state()),
        # a MessageLength below the header: the bytes held are dropped
        "device_short_length": b"\x00" + u32(COMMAND_DONE, 4, 16) + command_done(16, bc, 9, 0, b""),
    }
    escaped_fcs = fcs_with_flag_bytes()
    unframe = {
        # byte 0: the signed room offset d (fuzz_unframe.cpp)
        "write_reply": b"\x00" + frame(WRITE_SIGNATURE + b"\x00\x00"),
        "read_reply_escapes": b"\x00" + frame(read_reply(b"\x7e\x7d\x01\x7e", 0)),
        "write_packet": b"\xff" + frame(WRITE_SIGNATURE[:8] + u16(0, 48001, 4) + b"\x00" + b"\x7e\x7d\x5e\x5d"),
        "escaped_fcs": b"\x01" + frame(escaped_fcs),
        "too_short": b"\x00" + b"\x12\x34\x7e",
        "bad_fcs": b"\x00" + WRITE_SIGNATURE + b"\x00\x00\x12\x34\x7e",
    }
    at = {
        "ok": ok(u32(0) + b"\r\nOK\r\n"),
        "revision_terminated": ok(u32(0) + b"\r\nT99W175.F0.1.0.0.9\r\n\r\nOK\r\n\x00junk"),
        "claims_more": done(0, u32(0) + b"\r\nOK\r\n", delta=100),
        "claims_less": done(0, u32(0) + b"\r\nERROR\r\n", delta=-6),
        "failure_status": done(2, b""),
        "short_answer": ok(b"\x00\x00"),
        "function_error": as_message(message(FUNCTION_ERROR, 0, u32(2))),
        "whole_done": as_message(command_done(0, ATDS, 8, 0, u32(0) + b"\r\nOK\r\n")),
        "timeout": failure(2),
    }
    sar_enable = {
        "on": ok(u32(1)),
        "off": ok(u32(0)),
        "two_bytes": ok(b"\x00\x12"),
        "empty": ok(b""),
        "busy_status": done(1, b""),
        "claims_more": done(0, u32(1), delta=8),
        "truncated_done": as_message(command_done(0, QMBE, 21, 0, u32(1))[:40]),
        "no_channel": failure(0),
    }
    digest = bytes.fromhex("9e107d9d372bb6826bd81d3542a419d6")
    sar_md5 = {
        "digest": ok(digest),
        "digest_short": ok(digest[:15]),
        "digest_long": ok(digest + b"\x00"),
        "claims_16_holds_15": done(0, digest[:15], delta=1),
        "failure_status": done(2, digest),
        "whole_done": as_message(command_done(0, QMBE, 22, 0, digest)),
    }
    caps = caps_info("867698040123456", "T99W175.F0.1.0.0.9.GC.004", "T99W175")
    device_caps = {
        # byte 0: the caller's buffer capacity (fuzz_device_caps.cpp)
        "caps_64": b"\x40" + ok(caps),
        "caps_4": b"\x04" + ok(caps),
        "caps_no_buffer": b"\x00" + ok(caps),
        "caps_long_strings": b"\xff" + ok(caps_info("0" * 40, "F" * 70, "H" * 33)),
        "caps_cut": b"\x20" + done(0, caps[:70], delta=len(caps) - 70),
        "failure_status": b"\x20" + done(2, b""),
    }
    sar_read = {
        # byte 0: capacity choice and total-length bit (fuzz_sar_read.cpp)
        "one_reply": b"\x04" + ok(frame(read_reply(b"\x01\x02\x7e\x7d", 0))),
        "two_replies": b"\x04" + ok(frame(read_reply(b"ABCDEFGH", 4))) + NEXT
        + ok(frame(read_reply(b"IJKL", 0))),
        "busy_then_reply": b"\x04" + done(1, b"") + NEXT + ok(frame(read_reply(b"\x10" * 16, 0))),
        "no_total_small_buffer": b"\x0a" + ok(frame(read_reply(b"\x55" * 32, 0))),
        "bad_fcs": b"\x04" + ok(READ_HEAD + u16(2, 0, 0) + b"\x01\x02\x00\x00\x7e"),
        "short_reply": b"\x04" + ok(frame(READ_HEAD + u16(8, 0))),
        "failure_status": b"\x04" + done(2, b""),
        "twelve_replies": b"\x05" + NEXT.join(ok(frame(read_reply(bytes([i]) * 4, 4 * (12 - i))))
                                              for i in range(1, 13)),
        # the table's size changes in the second reply: 8 + 4, then 4 + 8
        "total_changes": b"\x04" + ok(frame(read_reply(b"ABCDEFGH", 4))) + NEXT
        + ok(frame(read_reply(b"IJKL", 8))),
        # 1 + 65535: a table no 16-bit offset can reach
        "over_65535": b"\x07" + ok(frame(read_reply(b"\x01", 0xFFFF))),
    }
    return {
        "fuzz_reader": reader,
        "fuzz_unframe": unframe,
        "fuzz_at_command": at,
        "fuzz_sar_enable": sar_enable,
        "fuzz_sar_md5": sar_md5,
        "fuzz_device_caps": device_caps,
        "fuzz_sar_read": sar_read,
    }


def main():
    for target, files in seeds().items():
        d = os.path.join(HERE, target)
        os.makedirs(d, exist_ok=True)
        for old in os.listdir(d):
            os.remove(os.path.join(d, old))
        for name, data in files.items():
            with open(os.path.join(d, name), "wb") as f:
                f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
