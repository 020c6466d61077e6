# SPDX-License-Identifier: GPL-2.0-or-later
# Sourced by the end-to-end scripts: lspci dumps made to order.
# config VENDOR DEVICE CLASS REVISION SUBSYSTEM_VENDOR SUBSYSTEM HEADER_TYPE LINES: a
# function's configuration space as lspci -x (4 lines), -xxx (16) or -xxxx (256) prints it.
config() {
  awk -v v=$1 -v d=$2 -v c=$3 -v r=$4 -v sv=$5 -v sd=$6 -v h=$7 -v lines=$8 'BEGIN {
    for (i = 0; i < 4096; i++) b[i] = 0
    b[0] = v % 256; b[1] = int(v / 256); b[2] = d % 256; b[3] = int(d / 256)
    b[8] = r; b[9] = 0; b[10] = c % 256; b[11] = int(c / 256); b[14] = h
    off = h == 1 ? 0 : 44  # bridges keep no subsystem at 0x2c
    if (h != 1) { b[44] = sv % 256; b[45] = int(sv / 256); b[46] = sd % 256; b[47] = int(sd / 256) }
    for (l = 0; l < lines; l++) {
      line = sprintf("%02x:", l * 16)
      for (i = 0; i < 16; i++) line = line sprintf(" %02x", b[l * 16 + i])
      print line
    }
  }'
}
made() {  # made LINES DOMAIN-PREFIX: five functions, not in address order
  local lines=$1 domain=$2
  echo "${domain}00:1f.6 Ethernet controller: made"; config 0x8086 0x10d3 0x0200 0 0x8086 0xa01f 0 "$lines"; echo
  echo "${domain}00:00.0 Host bridge: made"; config 0x8086 0x1237 0x0600 2 0 0 0 "$lines"; echo
  echo "${domain}00:01.0 PCI bridge: made"; config 0x8086 0x244e 0x0604 0xd0 0 0 1 "$lines"; echo
  echo "${domain}03:00.0 Non-Volatile memory controller: made"; config 0x1e4b 0x1fff 0x0108 1 0x1e4b 0x1fff 0 "$lines"; echo
  echo "${domain}02:00.0 Serial bus controller: made"; config 0xabcd 0x1234 0x0c80 0 0 0 0 "$lines"; echo
}
subsystems() {  # functions whose subsystems lspci names each its own way
  echo "00:01.0 x"; config 0x8086 0x10d3 0x0200 0 0x8086 0xa01f 0 4; echo  # listed below its device
  echo "00:02.0 x"; config 0x8086 0x10d3 0x0200 0 0x8086 0x9999 0 4; echo  # not listed: the device's name
  echo "00:03.0 x"; config 0x8086 0x10d3 0x0200 0 0xfefe 0x1234 0 4; echo  # nothing known
  echo "00:04.0 x"; config 0x1af4 0x1045 0x00ff 1 0x1af4 0x1045 0 4; echo  # the device itself
  echo "00:05.0 x"; config 0x8086 0x10d3 0x0200 0 0 0 0 4; echo            # none
  echo "00:08.0 x"; config 0x8086 0x7191 0x0604 0 0 0 1 4; echo            # a bridge
}
