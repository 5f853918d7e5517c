#!/usr/bin/perl
# Reads and writes DBF tables with Debian's Perl XBase module for the
# cross-check tests. Dumps use the canonical form of dbf_tools.py: a line
# "fields NAME,..." and one line per record, "<1|0>|value|value...", with
# C and M as hex (C without trailing blanks and zero bytes), N and F with
# the field's decimals, D as yyyymmdd, L as T or F, blanks as "".
#
# Usage:
#   xbase_tools.pl dump FILE
#   xbase_tools.pl create 3|4 FILE
use strict;
use warnings;
use XBase;

sub canonical {
  my ($type, $decimals, $value) = @_;
  return "" unless defined $value;
  if ($type eq 'C') {
    $value =~ s/[ \0]+$//;
    return unpack("H*", $value);
  }
  return unpack("H*", $value) if $type =~ /^[MBG]$/;
  return sprintf("%.*f", $decimals, $value) if $type =~ /^[NF]$/;
  return $value if $type eq 'D';
  return $value ? 'T' : 'F' if $type eq 'L';
  return $value;
}

sub dump_table {
  my ($path) = @_;
  my $table = XBase->new($path) or die XBase->errstr;
  my @names = $table->field_names;
  my @types = $table->field_types;
  my @decimals = $table->field_decimals;
  print "fields ", join(",", @names), "\n";
  for my $n (0 .. $table->last_record) {
    my ($deleted, @values) = $table->get_record($n);
    my @out = map { canonical($types[$_], $decimals[$_], $values[$_]) } 0 .. $#names;
    print join("|", $deleted ? "1" : "0", @out), "\n";
  }
  $table->close;
}

sub create_table {
  my ($version, $path) = @_;
  (my $memo = $path) =~ s/\.dbf$/.dbt/i;
  unlink $path, $memo;
  my $table = XBase->create(
    name => $path, version => $version,
    field_names => ['NAME', 'AMOUNT', 'BIG', 'DAY', 'PAID', 'NOTE'],
    field_types => ['C', 'N', 'N', 'D', 'L', 'M'],
    field_lengths => [20, 12, 12, 8, 1, 10],
    field_decimals => [0, 2, 0, 0, 0, 0]) or die XBase->errstr;
  $table->set_record(0, 'Alpha', -12.5, 1234567890, '20240105', 1, 'x' x 700);
  $table->set_record(1, 'Beta', 0.25, 0, undef, 0, undef);
  $table->set_record(2, 'Gamma', 1000.75, 98765432101, '19991231', 0, 'short memo');
  $table->delete_record(2);
  $table->close;
  if ($version == 4) {
    # XBase marks its dBase IV tables with memo as version 0x84; dBase IV
    # itself (and every other reader) uses 0x8B for a table with a ".dbt".
    open(my $f, "+<", $path) or die "$path: $!";
    binmode $f;
    seek($f, 0, 0);
    print $f chr(0x8B);
    close $f;
  }
}

my $command = shift @ARGV // '';
if ($command eq 'dump') {
  dump_table($ARGV[0]);
} elsif ($command eq 'create') {
  create_table($ARGV[0], $ARGV[1]);
} else {
  print STDERR "unknown command $command\n";
  exit 2;
}
