#!/usr/bin/python3
"""Independent SMS codec for the tests: gammu's PDU encoder and decoder.

encode7 TEXT...   one JSON line per text: the user data gammu packs for it in
                  the default alphabet (septet count, octets in hex)
encodeucs2 TEXT.. the same in UCS-2
submit NUMBER TEXT  a whole SUBMIT TPDU (no SMSC octets) in hex
decode HEX        the SMSC plus TPDU decoded: JSON with number, text, SMSC, time
Texts arrive as hex of their UTF-8 bytes so that any byte passes the shell.
"""
import json
import sys

import gammu


def message(number, text, coding):
    return {'Number': number, 'Text': text, 'SMSC': {'Location': 0, 'Number': ''},
            'Coding': coding, 'Folder': 0, 'Location': 0, 'Memory': 'SM',
            'State': 'UnRead', 'Class': -1}


def skip_smsc(pdu):
    return pdu[1 + pdu[0]:]


def submit_user_data(tpdu):
    first = tpdu[0]
    pos = 2                                   # first octet, message reference
    digits = tpdu[pos]
    pos += 2 + (digits + 1) // 2              # length, type, address
    pos += 2                                  # protocol id, coding scheme
    vpf = (first >> 3) & 3
    pos += {0: 0, 2: 1}.get(vpf, 7)
    return tpdu[pos], tpdu[pos + 1:]


def text_arg(h):
    return bytes.fromhex(h).decode('utf-8')


def main():
    cmd, args = sys.argv[1], sys.argv[2:]
    if cmd in ('encode7', 'encodeucs2'):
        coding = 'Default_No_Compression' if cmd == 'encode7' else 'Unicode_No_Compression'
        for h in args:
            pdu = gammu.EncodePDU(message('+8613800138000', text_arg(h), coding), 'Submit')
            udl, ud = submit_user_data(skip_smsc(pdu))
            print(json.dumps({'text': h, 'udl': udl, 'ud': ud.hex().upper()}))
    elif cmd == 'submit':
        pdu = gammu.EncodePDU(message(args[0], text_arg(args[1]), 'Default_No_Compression'),
                              'Submit')
        print(skip_smsc(pdu).hex().upper())
    elif cmd == 'decode':
        d = gammu.DecodePDU(bytes.fromhex(args[0]), True)
        print(json.dumps({'number': d['Number'], 'text': d['Text'],
                          'smsc': d['SMSC']['Number'], 'time': str(d['DateTime'])}))
    else:
        sys.exit('unknown command ' + cmd)


main()
