/* nussinov: RNA secondary structure prediction by dynamic programming on
   integer scores; the rows are filled from the last one up. */
#define match(b1, b2) (((b1) + (b2)) == 3 ? 1 : 0)
#define max_score(s1, s2) ((s1 >= s2) ? s1 : s2)
int N = 7;
int seq[20], table[20][20];

int main(void)
{
  int i, j, k;
#pragma resource [2][4]
  for (i = N - 1; i >= 0; i--) {
    for (j = i + 1; j < N; j++) {
      if (j - 1 >= 0)
#pragma latency [1][1]
        table[i][j] = max_score(table[i][j], table[i][j - 1]);
      if (i + 1 < N)
#pragma latency [1][1]
        table[i][j] = max_score(table[i][j], table[i + 1][j]);
      if (j - 1 >= 0 && i + 1 < N) {
        if (i < j - 1)
#pragma latency [2][1]
          table[i][j] = max_score(table[i][j], table[i + 1][j - 1] + match(seq[i], seq[j]));
        else
#pragma latency [1][1]
          table[i][j] = max_score(table[i][j], table[i + 1][j - 1]);
      }
      for (k = i + 1; k < j; k++) {
#pragma latency [2][1]
        table[i][j] = max_score(table[i][j], table[i][k] + table[k + 1][j]);
      }
    }
  }
  return 0;
}
