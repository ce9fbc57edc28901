#!/usr/bin/perl
# Makes the installer's texts in every language, as NSIS LangString lines, from the translators' files.
#
#   perl langstrings.pl OUT.nsh INSTALLER.nsi.in po/orvane.pot po/de.po po/fr.po ...
#
# Only the texts named "Installer.*" are the installer's. English is the template's msgid; a language's
# text is its msgstr, or the English where that is empty or marked fuzzy. In a text, %1, %2 ... stand for
# what the installer fills in: the installer's script names it on a line of its own,
#   ;% Installer.Name $Variable $(Installer.Other) ...
# A line break is \n; in the texts named "Installer.Ini.*" (comments of Orvane.ini) each line is a
# comment line of its own. Anything wrong (an unknown or missing placeholder, a text the script uses that
# the template lacks, a text nothing uses) stops the build with what and where.
#
# Plain Perl 5 only: it runs on a fresh Debian machine.
use strict;
use warnings;

# File name of each language (the template stands for English), NSIS's name for it, and the tag that
# Orvane's settings and its shortcut tool take. English comes first: NSIS falls back to the first.
my @languages = (
  ['orvane.pot', 'English',      'en'],
  ['de.po',      'German',       'de'],
  ['fr.po',      'French',       'fr'],
  ['es.po',      'Spanish',      'es'],
  ['it.po',      'Italian',      'it'],
  ['pt_BR.po',   'PortugueseBR', 'pt-BR'],
  ['nl.po',      'Dutch',        'nl'],
  ['pl.po',      'Polish',       'pl'],
  ['ja.po',      'Japanese',     'ja'],
  ['zh_CN.po',   'SimpChinese',  'zh-CN'],
);

my $failures = 0;
sub fail { print STDERR "langstrings.pl: $_[0]\n"; $failures++; }

@ARGV >= 3 or die "usage: langstrings.pl OUT.nsh INSTALLER.nsi.in orvane.pot LANG.po...\n";
my ($out, $script, @files) = @ARGV;

sub slurp {
  my ($path) = @_;
  open(my $in, '<:encoding(UTF-8)', $path) or die "langstrings.pl: cannot read $path: $!\n";
  local $/;
  my $text = <$in>;
  close $in;
  return $text;
}

my %escapes = (n => "\n", t => "\t", r => "\r", '"' => '"', '\\' => '\\');
sub unquote {
  my ($quoted, $where) = @_;
  my $text = '';
  while ($quoted =~ /"((?:[^"\\]|\\.)*)"/g) {
    my $part = $1;
    $part =~ s{\\(.)}{
      exists $escapes{$1} ? $escapes{$1} : do { fail("$where: unknown escape \\$1"); '' }
    }ge;
    $text .= $part;
  }
  return $text;
}

# The installer's entries of one file: name => { english, text, fuzzy }.
sub read_po {
  my ($path) = @_;
  my %entries;
  my $line_number = 0;
  for my $block (split /\n\s*\n/, slurp($path)) {
    my (%entry, $field);
    my @lines = split /\n/, $block;
    for my $line (@lines) {
      $line_number++;
      next if $line =~ /^#~/;  # obsolete
      if ($line =~ /^#,(.*)$/) { $entry{fuzzy} = 1 if $1 =~ /\bfuzzy\b/; next; }
      next if $line =~ /^#/ || $line =~ /^\s*$/;
      if ($line =~ /^(msgctxt|msgid|msgstr)\s+(".*")\s*$/) {
        $field = $1;
        $entry{$field} = $2;
      } elsif ($line =~ /^\s*(".*")\s*$/ && defined $field) {
        $entry{$field} .= $1;
      } else {
        fail("$path:$line_number: not understood: $line");
      }
    }
    $line_number++;  # the blank line between entries
    next unless defined $entry{msgctxt};
    my $name = unquote($entry{msgctxt}, $path);
    next unless $name =~ /^Installer\./;
    fail("$path: $name appears twice") if exists $entries{$name};
    $entries{$name} = {
      english => unquote($entry{msgid} // '""', "$path $name"),
      text    => unquote($entry{msgstr} // '""', "$path $name"),
      fuzzy   => $entry{fuzzy} // 0,
    };
  }
  return \%entries;
}

# What each placeholder stands for, and which texts the script uses.
my $nsi = slurp($script);
my %placeholders;
while ($nsi =~ /^;%\s+(Installer\.\S+)\s+(.*?)\s*$/mg) {
  $placeholders{$1} = [split /\s+/, $2];
}
my %used = map { $_ => 1 } ($nsi =~ /\$\((Installer\.[^)\s]+)\)/g);

my ($template_path) = grep { m{(^|/)orvane\.pot$} } @files;
defined $template_path or die "langstrings.pl: no orvane.pot among the files\n";
my $english = read_po($template_path);

for my $name (sort keys %used) {
  fail("$script uses \$($name), which po/orvane.pot does not have") unless exists $english->{$name};
}
for my $name (sort keys %$english) {
  fail("po/orvane.pot has $name, which $script does not use") unless $used{$name};
}

sub numbers { my %seen = map { $_ => 1 } ($_[0] =~ /%(\d+)/g); return join ',', sort { $a <=> $b } keys %seen; }

# The text as an NSIS string: placeholders become what they stand for, and NSIS's own characters are
# written so that NSIS reads them as they are.
sub nsis_string {
  my ($name, $text) = @_;
  my $line_break = $name =~ /^Installer\.Ini\./ ? '$\r$\n; ' : '$\r$\n';
  my $result = '';
  for my $piece (split /(%\d+|\n|\t|\$|")/, $text) {
    if ($piece =~ /^%(\d+)$/) {
      my $value = $placeholders{$name} ? $placeholders{$name}[$1 - 1] : undef;
      if (defined $value) { $result .= $value } else { fail("$name: nothing stands for %$1 (add a ';% $name ...' line)") }
    } elsif ($piece eq "\n") { $result .= $line_break }
    elsif ($piece eq "\t") { $result .= '$\t' }
    elsif ($piece eq '$') { $result .= '$$' }
    elsif ($piece eq '"') { $result .= '$\"' }
    else { $result .= $piece }
  }
  return "\"$result\"";
}

my %by_file = map { (m{([^/]+)$})[0] => $_ } @files;
my $output = "; Made by packaging/installer/langstrings.pl from po/*.po: edit those, not this.\n";
$output .= "!insertmacro MUI_LANGUAGE \"$_->[1]\"\n" for @languages;
for my $language (@languages) {
  my ($file, $nsis_name, $tag) = @$language;
  my $path = $by_file{$file};
  defined $path or die "langstrings.pl: $file was not given\n";
  my $translated = $file eq 'orvane.pot' ? {} : read_po($path);
  my $id = '${LANG_' . uc($nsis_name) . '}';
  $output .= "\n; $nsis_name\nLangString Orvane.LanguageTag $id \"$tag\"\n";
  for my $name (sort keys %$english) {
    my $source = $english->{$name}{english};
    my $entry = $translated->{$name};
    # A translation of an older English text is not this text's, as gettext sees it.
    my $current = $entry && $entry->{text} ne '' && !$entry->{fuzzy} && $entry->{english} eq $source;
    my $text = $current ? $entry->{text} : $source;
    fail("$path: $name has %" . numbers($text) . " where the English has %" . numbers($source))
      if numbers($text) ne numbers($source);
    $output .= "LangString $name $id " . nsis_string($name, $text) . "\n";
  }
}
for my $name (sort keys %placeholders) {
  fail("$script names placeholders for $name, which po/orvane.pot does not have") unless exists $english->{$name};
}

exit 1 if $failures;
open(my $file, '>:encoding(UTF-8)', "$out.new") or die "langstrings.pl: cannot write $out: $!\n";
print $file "\x{FEFF}", $output;
close $file or die "langstrings.pl: cannot write $out: $!\n";
rename "$out.new", $out or die "langstrings.pl: cannot write $out: $!\n";
