#pragma once
// The wide-character records of Simple MAPI, as the platform documents them (MapiMessageW and its
// parts, from Windows 8 on); MinGW's mapi.h declares only the ANSI ones.

#include <windows.h>
#include <mapi.h>

struct MapiRecipDescW {
  ULONG ulReserved;
  ULONG ulRecipClass;
  PWSTR lpszName;
  PWSTR lpszAddress;
  ULONG ulEIDSize;
  PVOID lpEntryID;
};

struct MapiFileDescW {
  ULONG ulReserved;
  ULONG flFlags;
  ULONG nPosition;
  PWSTR lpszPathName;
  PWSTR lpszFileName;
  PVOID lpFileType;
};

struct MapiMessageW {
  ULONG ulReserved;
  PWSTR lpszSubject;
  PWSTR lpszNoteText;
  PWSTR lpszMessageType;
  PWSTR lpszDateReceived;
  PWSTR lpszConversationID;
  FLAGS flFlags;
  MapiRecipDescW* lpOriginator;
  ULONG nRecipCount;
  MapiRecipDescW* lpRecips;
  ULONG nFileCount;
  MapiFileDescW* lpFiles;
};

using MapiSendMailW = ULONG(WINAPI*)(LHANDLE session, ULONG_PTR ui_param, MapiMessageW* message, FLAGS flags,
                                     ULONG reserved);
using MapiSendMailA = ULONG(WINAPI*)(LHANDLE session, ULONG_PTR ui_param, MapiMessage* message, FLAGS flags,
                                     ULONG reserved);
