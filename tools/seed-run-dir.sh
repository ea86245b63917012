#!/usr/bin/env bash
# Creates the data folder for `make run`; an empty one gets an address list with the local address.
set -euo pipefail
dir=$1
mkdir -p "$dir"
if [ ! -e "$dir/Ip.txt" ]; then
    # "127.0.0.1:本地地址" in GBK, CR LF
    printf '127.0.0.1:\xb1\xbe\xb5\xd8\xb5\xd8\xd6\xb7\r\n' > "$dir/Ip.txt"
fi
