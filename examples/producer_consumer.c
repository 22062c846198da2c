/* Two nests: a producer fills a row-wise array, a consumer reads it by columns. */
int N = 8;
double p[8][8], q[8][8];

int main(void)
{
  int i, j;
#pragma resource [2][4]
  for (i = 0; i < N; i++)
    for (j = 0; j < N; j++) {
#pragma latency [2][1]
      p[i][j] = i + j;
    }
  for (j = 0; j < N; j++)
    for (i = 0; i < N; i++) {
#pragma latency [3][2]
      q[j][i] = p[i][j] * 2;
    }
  return 0;
}
