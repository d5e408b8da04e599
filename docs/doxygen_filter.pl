#!/usr/bin/perl
# Input filter of the API reference: the header comments write placeholders
# and XML elements as plain text ("Component "<Name>": ...", </matrix>);
# Doxygen would read them as HTML tags. In the comment part of each line
# (from "///" or "//!" on) every <word> and </word> is escaped, so it shows
# as written. Code is passed through unchanged.
use strict;
use warnings;
while (my $line = <>) {
  if ($line =~ m{^(.*?)(//[/!].*)$}s) {
    my ($code, $comment) = ($1, $2);
    $comment =~ s{<(/?[A-Za-z][\w:.-]*(?:\s[^<>]*)?/?)>}{\\<$1\\>}g;
    $line = $code . $comment;
  }
  print $line;
}
